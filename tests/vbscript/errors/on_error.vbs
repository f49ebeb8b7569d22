On Error Resume Next
Dim x
x = 1 / 0
WScript.Echo Err.Number, Err.Description
Err.Clear
WScript.Echo Err.Number
Err.Raise 5
WScript.Echo Err.Number, Err.Description
Err.Raise vbObjectError + 10, "MySource", "Custom failure"
WScript.Echo Err.Number, Err.Source, Err.Description
On Error GoTo 0
Sub Fails()
  Dim y
  y = CInt("abc")
  WScript.Echo "not reached"
End Sub
On Error Resume Next
Fails
WScript.Echo "caller continues", Err.Number

Dim d, i, found
Set d = CreateObject("Scripting.Dictionary")
For i = 1 To 200000
  d.Add "key" & i, i
Next
found = 0
For i = 1 To 200000
  If d.Exists("key" & i) Then found = found + d("key" & i)
Next
WScript.Echo found

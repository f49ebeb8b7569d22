Function HashSum()
  Dim d, i, key, found
  Set d = CreateObject("Scripting.Dictionary")
  For i = 1 To 200000
    d.Add "key" & i, i
  Next
  found = 0
  For i = 1 To 200000
    key = "key" & i
    If d.Exists(key) Then found = found + d(key)
  Next
  HashSum = found
End Function
WScript.Echo HashSum()

Function Grow()
  Dim s, i
  s = ""
  For i = 1 To 50000
    s = s & "piece"
  Next
  Grow = s
End Function
WScript.Echo Len(Grow())

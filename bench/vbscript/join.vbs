Function Build()
  Dim parts(), i
  ReDim parts(159999)
  For i = 0 To 159999
    parts(i) = "piece"
  Next
  Build = Join(parts, "")
End Function
WScript.Echo Len(Build())

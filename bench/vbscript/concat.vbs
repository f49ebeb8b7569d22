Dim s, i
s = ""
For i = 1 To 200000
  s = s & "piece"
Next
WScript.Echo Len(s)

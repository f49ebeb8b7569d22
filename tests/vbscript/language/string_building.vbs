Dim s, i
s = ""
For i = 1 To 100000
  s = s & "ab"
Next
WScript.Echo Len(s), Left(s, 4)

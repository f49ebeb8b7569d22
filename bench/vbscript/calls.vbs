Function AddOne(a, b)
  AddOne = a + b
End Function

Function CallMillion()
  Dim i, total
  total = 0
  For i = 1 To 1000000
    total = AddOne(total, 1)
  Next
  CallMillion = total
End Function
WScript.Echo CallMillion()

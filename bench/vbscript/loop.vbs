Function Loop3M()
  Dim i, total
  total = 0
  For i = 1 To 3000000
    If i Mod 2 = 0 Then
      total = total + 3
    Else
      total = total + 1
    End If
  Next
  Loop3M = total
End Function
WScript.Echo Loop3M()

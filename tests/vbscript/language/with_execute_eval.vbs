Class Point
  Public X, Y
End Class
Dim p
Set p = New Point
With p
  .X = 3
  .Y = 4
  WScript.Echo .X + .Y
End With
Execute "Dim z: z = 5"
WScript.Echo z
ExecuteGlobal "Function Square(n): Square = n * n: End Function"
WScript.Echo Square(6)
WScript.Echo Eval("1 + 2 * 3")
Dim f
Set f = GetRef("Square")
WScript.Echo f(7)

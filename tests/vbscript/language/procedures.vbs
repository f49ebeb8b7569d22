Sub Increment(ByRef n)
  n = n + 1
End Sub
Sub IncrementByValue(ByVal n)
  n = n + 1
End Sub
Function Factorial(n)
  If n <= 1 Then
    Factorial = 1
    Exit Function
  End If
  Factorial = n * Factorial(n - 1)
End Function
Dim a
a = 1
Increment a
WScript.Echo a
Call Increment(a)
WScript.Echo a
Increment (a)
WScript.Echo a
IncrementByValue a
WScript.Echo a
WScript.Echo Factorial(10)
Dim values(2)
values(1) = 5
Increment values(1)
WScript.Echo values(1)
Function Twice(x)
  Twice = x * 2
End Function
WScript.Echo Twice(Twice(3))

Dim i, total
total = 0
For i = 1 To 10
  If i Mod 2 = 0 Then total = total + i
Next
WScript.Echo total
For i = 10 To 1 Step -3
  WScript.Echo i
Next
i = 0
Do While i < 3
  i = i + 1
Loop
WScript.Echo i
Do
  i = i - 1
Loop Until i <= 0
WScript.Echo i
While i < 2
  i = i + 1
Wend
WScript.Echo i
Select Case i
  Case 1, 3
    WScript.Echo "odd"
  Case 2
    WScript.Echo "two"
  Case Else
    WScript.Echo "other"
End Select
If i = 1 Then
  WScript.Echo "one"
ElseIf i = 2 Then
  WScript.Echo "elseif two"
Else
  WScript.Echo "else"
End If
If i = 5 Then WScript.Echo "five" Else WScript.Echo "not five": WScript.Echo "same line"
For i = 1 To 5
  If i = 3 Then Exit For
Next
WScript.Echo "exited at " & i
Dim arr, x
arr = Array(3, 1, 2)
For Each x In arr
  WScript.Echo "item " & x
Next

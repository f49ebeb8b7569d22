Class Counter
  Private count_
  Public Name
  Private Sub Class_Initialize()
    count_ = 0
    Name = "counter"
  End Sub
  Private Sub Class_Terminate()
    WScript.Echo "terminated " & Name
  End Sub
  Public Sub Add(n)
    count_ = count_ + n
  End Sub
  Public Property Get Count()
    Count = count_
  End Property
  Public Property Let Count(value)
    count_ = value
  End Property
  Public Default Function Describe()
    Describe = Name & "=" & count_
  End Function
End Class
Dim c
Set c = New Counter
c.Add 5
c.Add 2
WScript.Echo c.Count
c.Count = 10
WScript.Echo c.Count
c.Name = "clicks"
WScript.Echo c.Describe()
WScript.Echo c
WScript.Echo TypeName(c)
Dim d
Set d = c
d.Add 1
WScript.Echo c.Count, d Is c, c Is Nothing
Set d = Nothing
Set c = Nothing
WScript.Echo "done"

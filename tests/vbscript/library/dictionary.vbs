Dim d, k
Set d = CreateObject("Scripting.Dictionary")
d.Add "b", 2
d.Add "a", 1
d("c") = 3
WScript.Echo d.Count, d("a"), d.Item("b"), d.Exists("c"), d.Exists("z")
For Each k In d
  WScript.Echo k & "=" & d(k)
Next
d.Remove "b"
WScript.Echo Join(d.Keys, ","), Join(d.Items, ",")
On Error Resume Next
d.Add "a", 9
WScript.Echo Err.Number, Err.Description
Err.Clear
d.Remove "zzz"
WScript.Echo Err.Number
On Error GoTo 0
WScript.Echo IsEmpty(d("new")), d.Count

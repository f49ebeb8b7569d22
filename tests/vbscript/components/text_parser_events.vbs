' TextParser's Parse event reaches the script's procedures through the prefix given to
' CreateObject and to ConnectObject; the procedure answers through its by-reference argument.
Dim parser, calls
calls = 0
Set parser = WScript.CreateObject("WendrelASP.TextParser", "Parser_")

Sub Parser_Parse(StartMarkIndex, EndMarkIndex, MarkedString)
  calls = calls + 1
  WScript.Echo "region", StartMarkIndex, EndMarkIndex, MarkedString
  If InStr(MarkedString, "date") > 0 Then
    MarkedString = "2026-12-07"
  ElseIf InStr(MarkedString, "drop") > 0 Then
    MarkedString = ""
  End If
End Sub

WScript.Echo parser.ParseString("Today: <!--#date--> <!--#keep--><!--#drop-->.")
WScript.Echo parser.Content
WScript.Echo "calls", calls

parser.StartMark = "{"
parser.EndMark = "}"
WScript.Echo parser.ParseString("a{x}b")

' A second parser connected after creation, with another prefix.
Dim other
Set other = WScript.CreateObject("WendrelASP.TextParser")
WScript.ConnectObject other, "Other_"
Sub Other_Parse(s, e, text)
  text = UCase(text)
End Sub
WScript.Echo other.ParseString("x<!--#shout-->y")

' Disconnected, the text stays as it is.
WScript.DisconnectObject other
WScript.Echo other.ParseString("x<!--#quiet-->y")

' A prefix without procedures: events are ignored.
Dim silent
Set silent = WScript.CreateObject("WendrelASP.TextParser", "Nobody_")
WScript.Echo silent.ParseString("<!--#same-->")

' Objects without events cannot be connected.
On Error Resume Next
WScript.ConnectObject CreateObject("Scripting.Dictionary"), "Dict_"
WScript.Echo "connect without events:", Err.Number <> 0
Err.Clear
Set r = CreateObject("WendrelASP.Request")
WScript.Echo "create Request:", Err.Number, Err.Description

' ADODB.Stream: a file read as bytes for a download, text written in UTF-8 and read back.
Const adTypeBinary = 1, adTypeText = 2, adSaveCreateOverWrite = 2, adReadLine = -2
Set fso = CreateObject("Scripting.FileSystemObject")
folder = fso.BuildPath(fso.GetSpecialFolder(2).Path, fso.GetTempName)
fso.CreateFolder folder

Set text = CreateObject("ADODB.Stream")
text.Type = adTypeText
text.Charset = "utf-8"
text.Open
text.WriteText "first line " & ChrW(8364), 1
text.WriteText "second"
text.SaveToFile folder & "\euro.txt", adSaveCreateOverWrite
text.Close
WScript.Echo "saved", fso.GetFile(folder & "/euro.txt").Size

Set bytes = CreateObject("ADODB.Stream")
bytes.Type = adTypeBinary
bytes.Open
bytes.LoadFromFile folder & "/euro.txt"
data = bytes.Read(3)
WScript.Echo "bytes", TypeName(data), UBound(data) + 1, data(0), bytes.Position, bytes.Size
bytes.Close

Set again = CreateObject("ADODB.Stream")
again.Charset = "utf-8"
again.Open
again.LoadFromFile folder & "/euro.txt"
WScript.Echo "line", again.ReadText(adReadLine) = "first line " & ChrW(8364), again.ReadText, again.EOS
again.Close

On Error Resume Next
again.ReadText
WScript.Echo "closed:", Err.Number
Err.Clear
Set missing = CreateObject("ADODB.Stream")
missing.Open
missing.LoadFromFile folder & "/missing.bin"
WScript.Echo "missing file:", Err.Number
On Error GoTo 0
fso.DeleteFolder folder

' FileSystemObject: folders and files, text in three encodings, listings and the error numbers.
Set fso = CreateObject("Scripting.FileSystemObject")
base = fso.BuildPath(fso.GetSpecialFolder(2).Path, fso.GetTempName)
Set folder = fso.CreateFolder(base)
WScript.Echo "folder", fso.FolderExists(base), folder.Name = fso.GetFileName(base)

' Text round trips: ANSI, Unicode (UTF-16) and UTF-8, each with a line break and an accent.
formats = Array(0, -1, 65001)
names = Array("ansi.txt", "unicode.txt", "utf8.txt")
For i = 0 To 2
  Set stream = fso.OpenTextFile(base & "\" & names(i), 2, True, formats(i))
  stream.WriteLine "line one " & ChrW(233)
  stream.Write "line two"
  stream.Close
  Set stream = fso.OpenTextFile(base & "/" & names(i), 8, False, formats(i))
  stream.WriteLine
  stream.Write "appended"
  stream.Close
  Set stream = fso.OpenTextFile(base & "/" & names(i), 1, False, -2)
  first = stream.ReadLine
  WScript.Echo names(i), fso.GetFile(base & "/" & names(i)).Size, first, stream.Line, stream.ReadLine, stream.ReadAll, stream.AtEndOfStream
  stream.Close
Next

Set stream = fso.CreateTextFile(base & "/lines.txt")
stream.Write "a" & vbCrLf & "bb" & vbLf & "ccc" & vbCr & "dddd"
stream.Close
Set stream = fso.OpenTextFile(base & "/lines.txt")
Do Until stream.AtEndOfStream
  WScript.Echo "line", stream.Line, stream.ReadLine
Loop
stream.Close

fso.CreateFolder base & "/sub"
fso.CopyFile base & "/ansi.txt", base & "/sub/"
fso.MoveFile base & "/lines.txt", base & "/sub/moved.txt"
For Each f In folder.Files
  WScript.Echo "file", f.Name, fso.GetExtensionName(f.Path), fso.GetBaseName(f)
Next
For Each f In folder.SubFolders
  WScript.Echo "subfolder", f.Name, f.Files.Count, f.ParentFolder.Name = folder.Name
Next
WScript.Echo "modified", IsDate(fso.GetFile(base & "/ansi.txt").DateLastModified)
' The times of a file just written are within a minute of now; a folder has its creation time too.
Set written = fso.GetFile(base & "/ansi.txt")
WScript.Echo "times", Abs(DateDiff("s", Now, written.DateCreated)) < 60, _
    Abs(DateDiff("s", Now, written.DateLastAccessed)) < 60, IsDate(folder.DateCreated)
WScript.Echo "parent", fso.GetParentFolderName("a\b\c.txt"), fso.GetParentFolderName("c.txt") = ""
WScript.Echo "absolute", fso.GetAbsolutePathName("/x/./y/../z")

On Error Resume Next
Set gone = fso.GetFile(base & "/sub/moved.txt")
fso.DeleteFile base & "/sub/moved.txt"
stamp = gone.DateCreated
WScript.Echo "times of a deleted file:", Err.Number
Err.Clear
Set missing = fso.OpenTextFile(base & "/missing.txt")
WScript.Echo "open missing:", Err.Number
Err.Clear
Set missing = fso.OpenTextFile(base & "/no/such/folder.txt", 2, True)
WScript.Echo "create in missing folder:", Err.Number
Err.Clear
fso.CreateFolder base & "/sub"
WScript.Echo "folder exists:", Err.Number
Err.Clear
Set stream = fso.CreateTextFile(base & "/ansi.txt", False)
WScript.Echo "file exists:", Err.Number
Err.Clear
fso.GetFolder base & "/nowhere"
WScript.Echo "get missing folder:", Err.Number
Err.Clear
fso.DeleteFile base & "/*.none"
WScript.Echo "delete nothing:", Err.Number
Err.Clear
Set stream = fso.OpenTextFile(base & "/ansi.txt")
stream.ReadAll
stream.ReadLine
WScript.Echo "read past end:", Err.Number
stream.Write "x"
WScript.Echo "write to reader:", Err.Number
stream.Close
Err.Clear
Set locked = fso.CreateTextFile(base & "/locked.txt")
locked.Close
fso.GetFile(base & "/locked.txt").Attributes = 1
fso.DeleteFile base & "/locked.txt"
WScript.Echo "delete read-only:", Err.Number, fso.GetFile(base & "/locked.txt").Attributes And 1
Err.Clear
fso.OpenTextFile base & "/sub", 2
WScript.Echo "folder as file:", Err.Number
Err.Clear
On Error GoTo 0

fso.DeleteFile base & "/*.txt", True
WScript.Echo "after delete", folder.Files.Count
fso.DeleteFolder base
WScript.Echo "gone", fso.FolderExists(base)

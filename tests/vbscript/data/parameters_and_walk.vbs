' A parameterised insert keeps hostile text as data; rows are walked with EOF and MoveNext.
Const adInteger = 3, adVarWChar = 202, adParamInput = 1, adExecuteNoRecords = &H80
Set conn = CreateObject("ADODB.Connection")
conn.Open WScript.Arguments(0)
conn.Execute "CREATE TABLE x (id INTEGER, name VARCHAR(60), note VARCHAR(20))"

Set cmd = CreateObject("ADODB.Command")
Set cmd.ActiveConnection = conn
cmd.CommandText = "INSERT INTO x (id, name, note) VALUES (?, ?, ?)"
cmd.Parameters.Append cmd.CreateParameter("id", adInteger, adParamInput)
cmd.Parameters.Append cmd.CreateParameter("name", adVarWChar, adParamInput, 60)
cmd.Parameters.Append cmd.CreateParameter("note", adVarWChar, adParamInput, 20)
names = Array("'; DROP TABLE x; --", "O'Brien", "caf" & ChrW(233), "")
For i = 0 To UBound(names)
  cmd("id") = i + 1
  cmd("name") = names(i)
  If i Mod 2 = 0 Then cmd("note") = Null Else cmd("note") = "n" & i
  cmd.Execute affected, , adExecuteNoRecords
  WScript.Echo "inserted", affected
Next

Set rs = conn.Execute("SELECT id, name, note FROM x ORDER BY id")
WScript.Echo "BOF", rs.BOF, "EOF", rs.EOF, "fields", rs.Fields.Count
Do While Not rs.EOF
  note = rs("note")
  If IsNull(note) Then note = "(null)"
  WScript.Echo rs("id"), "[" & rs.Fields("name").Value & "]", note, Len(rs(1))
  rs.MoveNext
Loop
WScript.Echo "EOF", rs.EOF
rs.Close

Set rs = conn.Execute("SELECT COUNT(*) FROM x")
WScript.Echo "rows still there:", rs(0)

' Execute's array of values, by position.
Set cmd2 = CreateObject("ADODB.Command")
cmd2.ActiveConnection = conn
cmd2.CommandText = "SELECT name FROM x WHERE id = ? OR name = ? ORDER BY id"
Set rs = cmd2.Execute(, Array(2, "'; DROP TABLE x; --"))
Do Until rs.EOF
  WScript.Echo "found", rs(0)
  rs.MoveNext
Loop

' A record set that opens its own connection from a connection string.
Set own = CreateObject("ADODB.Recordset")
own.Open "SELECT COUNT(*) AS n FROM x WHERE note IS NULL", WScript.Arguments(0)
WScript.Echo "own connection:", own("n"), TypeName(own.ActiveConnection), own.ActiveConnection.State
own.Close

For Each f In conn.Execute("SELECT id, name FROM x").Fields
  WScript.Echo "field", f.Name
Next
conn.Close
WScript.Echo "state", conn.State

' Transactions rolled back and committed, a bad statement's error, edits through a record set.
Const adOpenStatic = 3, adLockOptimistic = 3
Set conn = CreateObject("ADODB.Connection")
conn.Open WScript.Arguments(0)
conn.Execute "CREATE TABLE ledger (id INTEGER, amount INTEGER)"

WScript.Echo "level", conn.BeginTrans
conn.Execute "INSERT INTO ledger VALUES (1, 10)"
conn.RollbackTrans
WScript.Echo "after rollback", conn.Execute("SELECT COUNT(*) FROM ledger")(0)
conn.BeginTrans
conn.Execute "INSERT INTO ledger VALUES (2, 20)"
conn.CommitTrans
WScript.Echo "after commit", conn.Execute("SELECT COUNT(*) FROM ledger")(0)

On Error Resume Next
conn.Execute "SELEC amount FROM ledger"
WScript.Echo "bad SQL:", Hex(Err.Number), Left(Err.Description, 1), Mid(Err.Description, 7, 1), Err.Source
WScript.Echo "errors:", conn.Errors.Count >= 1, Len(conn.Errors(0).SQLState), Hex(conn.Errors(0).Number)
Err.Clear
conn.Execute "SELECT nothing FROM missing_table"
WScript.Echo "missing table:", Hex(Err.Number)
Err.Clear
conn.CommitTrans
WScript.Echo "commit without transaction:", Err.Number <> 0
Err.Clear
Set rs = CreateObject("ADODB.Recordset")
rs.MoveNext
WScript.Echo "closed record set:", Err.Number
On Error GoTo 0

Set rs = CreateObject("ADODB.Recordset")
rs.Open "SELECT id, amount FROM ledger", conn, adOpenStatic, adLockOptimistic
rs.AddNew
rs("id") = 3
rs("amount") = 30
rs.Update
rs.AddNew Array("id", "amount"), Array(4, 40)
rs.MoveFirst
rs("amount") = rs("amount") + 1
rs.Update
rs.MoveLast
rs.Delete
rs.Close
Set rs = conn.Execute("SELECT id, amount FROM ledger ORDER BY id")
Do Until rs.EOF
  WScript.Echo "ledger", rs("id"), rs("amount")
  rs.MoveNext
Loop

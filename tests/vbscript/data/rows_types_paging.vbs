' GetRows shape and values for each type, GetRows with a count and fields, paging on a static
' cursor, GetString, and 100,000 rows through GetRows.
Const adOpenForwardOnly = 0, adOpenStatic = 3, adLockReadOnly = 1, adBookmarkFirst = 1
Set conn = CreateObject("ADODB.Connection")
conn.Open WScript.Arguments(0)
conn.Execute "CREATE TABLE kinds (i INTEGER, t VARCHAR(20), r DOUBLE PRECISION, d DATE, ts TIMESTAMP, n VARCHAR(5))"
conn.Execute "INSERT INTO kinds VALUES (7, 'seven', 2.5, '2024-02-29', '2024-03-01 13:14:15', NULL)"
conn.Execute "INSERT INTO kinds VALUES (-8, 'minus', -0.125, '1999-12-31', '2000-01-01 00:00:00', 'x')"

Set rs = conn.Execute("SELECT i, t, r, d, ts, n FROM kinds ORDER BY i DESC")
rows = rs.GetRows()
WScript.Echo "shape", UBound(rows, 1), UBound(rows, 2), "EOF", rs.EOF
For r = 0 To UBound(rows, 2)
  line = ""
  For c = 0 To UBound(rows, 1)
    line = line & VarType(rows(c, r)) & ":"
    If IsNull(rows(c, r)) Then line = line & "null " Else line = line & rows(c, r) & " "
  Next
  WScript.Echo line
Next
WScript.Echo "year", Year(rows(3, 0)), "hour", Hour(rows(4, 0)), "sum", rows(0, 0) + rows(0, 1)

conn.Execute "CREATE TABLE pages (id INTEGER, label VARCHAR(10))"
conn.Execute "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 25) INSERT INTO pages SELECT i, 'p' || i FROM n"
Set rs = CreateObject("ADODB.Recordset")
rs.Open "SELECT id, label FROM pages ORDER BY id", conn, adOpenStatic, adLockReadOnly
rs.PageSize = 10
WScript.Echo "records", rs.RecordCount, "pages", rs.PageCount
rs.AbsolutePage = 3
Do While Not rs.EOF
  WScript.Echo "page 3:", rs("id"), rs("label"), rs.AbsolutePosition
  rs.MoveNext
Loop
part = rs.GetRows(2, adBookmarkFirst, Array("label"))
WScript.Echo "first two labels", part(0, 0), part(0, 1), "next", rs("id")
rs.MoveLast
WScript.Echo "last", rs("id")
rs.MovePrevious
WScript.Echo "previous", rs("id")
WScript.Echo "string", Replace(rs.GetString(, 2, "=", ";"), vbCr, "|")
rs.Close

Set rs = conn.Execute("SELECT id FROM pages")
WScript.Echo "forward-only count", rs.RecordCount, "pages", rs.PageCount
On Error Resume Next
rs.MovePrevious
WScript.Echo "move back:", Hex(Err.Number)
On Error GoTo 0

conn.Execute "CREATE TABLE many (id INTEGER, label VARCHAR(20))"
conn.Execute "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000) INSERT INTO many SELECT i, 'row ' || i FROM n"
Set rs = conn.Execute("SELECT id, label FROM many ORDER BY id")
big = rs.GetRows()
WScript.Echo "big", UBound(big, 1), UBound(big, 2), big(0, 99999), big(1, 12344)

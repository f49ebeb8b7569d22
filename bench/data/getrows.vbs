' getrows.vbs DATABASE: reads the table with one GetRows, as a page fetches report rows; prints
' the row count, a checksum and the milliseconds the fetch took.
Set conn = CreateObject("ADODB.Connection")
conn.Open "Provider=SQLite;Data Source=" & WScript.Arguments(0)
start = Timer
Set rs = conn.Execute("SELECT id, sale_date, region, product, quantity, amount FROM sales")
rows = rs.GetRows()
elapsed = (Timer - start) * 1000
checksum = 0
For r = 0 To UBound(rows, 2)
  checksum = checksum + rows(0, r) + rows(4, r) + Len(rows(2, r)) + Len(rows(3, r))
Next
WScript.Echo UBound(rows, 2) + 1, checksum, FormatNumber(elapsed, 1, , , False)

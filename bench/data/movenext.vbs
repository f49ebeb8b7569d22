' movenext.vbs DATABASE: walks the table with EOF and MoveNext, reading fields by name as pages
' do; prints the row count, a checksum and the milliseconds taken.
Set conn = CreateObject("ADODB.Connection")
conn.Open "Provider=SQLite;Data Source=" & WScript.Arguments(0)
start = Timer
Set rs = conn.Execute("SELECT id, sale_date, region, product, quantity, amount FROM sales")
count = 0
checksum = 0
Do Until rs.EOF
  count = count + 1
  checksum = checksum + rs("id") + rs("quantity") + Len(rs("region")) + Len(rs("product"))
  rs.MoveNext
Loop
elapsed = (Timer - start) * 1000
WScript.Echo count, checksum, FormatNumber(elapsed, 1, , , False)

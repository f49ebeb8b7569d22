' open_close.vbs CONNECTION COUNT: opens a connection, runs one query and closes it COUNT times,
' what a page does per request; prints the count and the milliseconds taken.
connection = WScript.Arguments(0)
count = CLng(WScript.Arguments(1))
start = Timer
For i = 1 To count
  Set conn = CreateObject("ADODB.Connection")
  conn.Open connection
  Set rs = conn.Execute("SELECT 1")
  value = rs(0)
  rs.Close
  conn.Close
Next
elapsed = (Timer - start) * 1000
WScript.Echo count, FormatNumber(elapsed, 1, , , False)

' make-sample-db.vbs DATABASE [ROWS]
'
' Writes a SQLite database of sample sales for the example site: one table
'   sales (id, sale_date, region, product, quantity, amount)
' with ROWS rows (default 5000) spread over 2023 and 2024. The numbers come from a fixed
' pseudo-random sequence, so every run writes the same data. The database is written beside its
' final name and moved there at the end: a run that fails leaves no half-written file.
Option Explicit
Const adInteger = 3, adDouble = 5, adDBDate = 133, adVarWChar = 202, adParamInput = 1
Const adExecuteNoRecords = &H80

Dim regions, products, prices
regions = Array("North", "South", "East", "West", "Central")
products = Array("Anchor", "Beacon", "Compass", "Drift", "Ember", "Fathom", "Gale", "Harbor", "Isle", "Jetty")
prices = Array(12.5, 48, 7.25, 99.9, 15, 230, 3.75, 64.5, 18.2, 5.4)

Dim seed
seed = 20240601
' The next number of a Park-Miller sequence, 1 to 2147483646 (exact in doubles).
Function NextRandom()
  seed = seed * 16807 - Int(seed * 16807 / 2147483647) * 2147483647
  NextRandom = seed
End Function
Function Pick(count)
  Pick = NextRandom() Mod count
End Function

Dim arguments, target, rows, fso, temporary
Set arguments = WScript.Arguments
If arguments.Count < 1 Then
  WScript.StdErr.WriteLine "usage: vbsrun make-sample-db.vbs DATABASE [ROWS]"
  WScript.Quit 2
End If
target = arguments(0)
rows = 5000
If arguments.Count > 1 Then rows = CLng(arguments(1))
Set fso = CreateObject("Scripting.FileSystemObject")
temporary = target & ".part"
If fso.FileExists(temporary) Then fso.DeleteFile temporary, True

Dim conn, command, i, product, quantity, day
Set conn = CreateObject("ADODB.Connection")
conn.Open "Provider=SQLite;Data Source=" & temporary
conn.Execute "CREATE TABLE sales (id INTEGER PRIMARY KEY, sale_date DATE NOT NULL, " & _
             "region VARCHAR(20) NOT NULL, product VARCHAR(20) NOT NULL, " & _
             "quantity INTEGER NOT NULL, amount DOUBLE NOT NULL)", , adExecuteNoRecords
Set command = CreateObject("ADODB.Command")
Set command.ActiveConnection = conn
command.CommandText = "INSERT INTO sales (id, sale_date, region, product, quantity, amount) VALUES (?, ?, ?, ?, ?, ?)"
command.Parameters.Append command.CreateParameter("id", adInteger, adParamInput)
command.Parameters.Append command.CreateParameter("sale_date", adDBDate, adParamInput)
command.Parameters.Append command.CreateParameter("region", adVarWChar, adParamInput, 20)
command.Parameters.Append command.CreateParameter("product", adVarWChar, adParamInput, 20)
command.Parameters.Append command.CreateParameter("quantity", adInteger, adParamInput)
command.Parameters.Append command.CreateParameter("amount", adDouble, adParamInput)

conn.BeginTrans
For i = 1 To rows
  day = DateSerial(2023, 1, 1) + Pick(731)
  product = Pick(10)
  quantity = 1 + Pick(40)
  command("id") = i
  command("sale_date") = day
  command("region") = regions(Pick(5))
  command("product") = products(product)
  command("quantity") = quantity
  ' A discount of 0 to 15 percent, in cents.
  command("amount") = Round(quantity * prices(product) * (100 - Pick(16)) / 100, 2)
  command.Execute , , adExecuteNoRecords
Next
conn.CommitTrans
conn.Close

If fso.FileExists(target) Then fso.DeleteFile target, True
fso.MoveFile temporary, target
WScript.Echo "wrote " & rows & " sales to " & target

Dim re, m, matches
Set re = New RegExp
re.Pattern = "(\w+)@(\w+)\.com"
re.Global = True
Set matches = re.Execute("ann@example.com, bob@test.com")
WScript.Echo matches.Count
For Each m In matches
  WScript.Echo m.Value, m.FirstIndex, m.SubMatches(0)
Next
WScript.Echo re.Replace("ann@example.com", "$2:$1")
re.Pattern = "^a.c$"
re.IgnoreCase = True
WScript.Echo re.Test("ABC"), re.Test("abcd")

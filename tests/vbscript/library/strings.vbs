WScript.Echo Len("hello"), Left("hello", 2), Right("hello", 3), Mid("hello", 2, 3), Mid("hello", 4)
WScript.Echo InStr("hello", "l"), InStr(4, "hello", "l"), InStr("hello", "z"), InStrRev("hello", "l")
WScript.Echo UCase("abc"), LCase("ABC"), "[" & Trim("  x  ") & "]", "[" & LTrim("  x") & "]", "[" & RTrim("x  ") & "]"
WScript.Echo Replace("a-b-c", "-", "+"), Replace("aXbxc", "x", "_", 1, -1, vbTextCompare)
WScript.Echo StrComp("a", "B"), StrComp("a", "B", vbTextCompare), StrReverse("abc")
WScript.Echo String(3, "z"), "[" & Space(2) & "]", Asc("A"), Chr(66), ChrW(8364) = Chr(128)
WScript.Echo Join(Filter(Array("apple", "banana", "cherry"), "an"), ",")
WScript.Echo Escape("a b&c"), Unescape("%41%u0042")

WScript.Echo 1 + 2 * 3
WScript.Echo (1 + 2) * 3
WScript.Echo 2 ^ 3 ^ 2
WScript.Echo -2 ^ 2
WScript.Echo 7 \ 2, 7 Mod 3, -7 Mod 3
WScript.Echo 10 / 4
WScript.Echo "a" & 1 & True
WScript.Echo "1" + 2
WScript.Echo "1" + "2"
WScript.Echo TypeName(1), TypeName(32768), TypeName(1.5), TypeName("x"), TypeName(True)
WScript.Echo TypeName(32767 + 1)
WScript.Echo 5 > 3 And 2 > 1
WScript.Echo Not True, Not 1
WScript.Echo 12 And 10, 12 Or 3, 12 Xor 10
WScript.Echo 1 = 1.0, "a" < "b", "B" < "a"
WScript.Echo Null = 1
WScript.Echo IsNull(Null + 1)
WScript.Echo &HFF, &HFFFF, &O17
WScript.Echo 1E3, 0.5, 1.5E-7

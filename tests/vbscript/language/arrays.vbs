Dim a(2), b(), m(1, 2)
a(0) = "x": a(2) = "z"
WScript.Echo UBound(a), LBound(a), a(0) & a(1) & a(2)
ReDim b(1)
b(0) = 10: b(1) = 20
ReDim Preserve b(3)
b(3) = 40
WScript.Echo UBound(b), b(0), b(1), IsEmpty(b(2)), b(3)
m(1, 2) = "corner"
WScript.Echo UBound(m, 1), UBound(m, 2), m(1, 2)
Dim s
s = Split("a,b,c", ",")
WScript.Echo UBound(s), Join(s, "-")
Erase a
WScript.Echo IsEmpty(a(0))
Dim n
n = Array()
WScript.Echo UBound(n)
WScript.Echo IsArray(s), IsArray("s")

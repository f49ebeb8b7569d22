SetLocale 1033
Dim d
d = DateSerial(2024, 1, 31)
WScript.Echo d
WScript.Echo DateAdd("m", 1, d)
WScript.Echo Year(d), Month(d), Day(d), Weekday(d)
WScript.Echo DateDiff("d", #1/1/2024#, #3/1/2024#)
WScript.Echo FormatDateTime(#1/15/2024 1:45:00 PM#, vbShortTime)
WScript.Echo MonthName(2), WeekdayName(1)
WScript.Echo TimeSerial(13, 5, 0)
WScript.Echo CDate("January 5, 2024")

SetLocale 1033
WScript.Echo FormatNumber(1234.5, 2), FormatPercent(0.1234, 2), FormatCurrency(1234.5)
WScript.Echo FormatCurrency(-5, 2, -1, -1)
SetLocale 1031
WScript.Echo FormatNumber(1234.5, 2), FormatCurrency(1234.5, 2)
WScript.Echo 1.5

// A syntax error: nothing runs; the error names its line and column.
WScript.Echo("never printed");
var broken = (1 + ;

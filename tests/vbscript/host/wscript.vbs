WScript.Echo "hello", 42, True
WScript.Echo WScript.Arguments.Count
For Each a In WScript.Arguments
  WScript.Echo "[" & a & "]"
Next
WScript.Echo WScript.Arguments(1)
WScript.Echo WScript.ScriptName
WScript.StdOut.WriteLine "via stdout"
WScript.Echo
WScript.Echo Null
WScript.Quit 3
WScript.Echo "not reached"

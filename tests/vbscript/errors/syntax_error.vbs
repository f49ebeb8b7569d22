WScript.Echo "never"
x = (1 + 2

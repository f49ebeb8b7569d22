var echo = typeof WScript !== "undefined" ? function (v) { WScript.Echo(v); } : print;
echo("started");

var echo = typeof WScript !== "undefined" ? function (v) { WScript.Echo(v); } : print;
var s = "";
for (var i = 0; i < 200000; i++) {
  s += "piece";
}
echo(s.length);

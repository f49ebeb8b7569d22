var echo = typeof WScript !== "undefined" ? function (v) { WScript.Echo(v); } : print;
function addOne(a, b) {
  return a + b;
}
var total = 0;
for (var i = 0; i < 1000000; i++) {
  total = addOne(total, 1);
}
echo(total);

var echo = typeof WScript !== "undefined" ? function (v) { WScript.Echo(v); } : print;
var total = 0;
for (var i = 1; i <= 3000000; i++) {
  if (i % 2 === 0) {
    total += 3;
  } else {
    total += 1;
  }
}
echo(total);

var echo = typeof WScript !== "undefined" ? function (v) { WScript.Echo(v); } : print;
var d = {};
for (var i = 1; i <= 200000; i++) {
  d["key" + i] = i;
}
var found = 0;
for (var i = 1; i <= 200000; i++) {
  var k = "key" + i;
  if (k in d) found += d[k];
}
echo(found);

var d = {};
for (var i = 1; i <= 200000; i++) {
  d["key" + i] = i;
}
var found = 0;
for (var i = 1; i <= 200000; i++) {
  var k = "key" + i;
  if (k in d) found = found + d[k];
}
print(found);

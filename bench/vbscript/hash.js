function hashSum() {
  var d = {};
  for (var i = 1; i <= 200000; i++) {
    d["key" + i] = i;
  }
  var found = 0;
  for (var j = 1; j <= 200000; j++) {
    var k = "key" + j;
    if (k in d) found += d[k];
  }
  return found;
}
print(hashSum());

function grow() {
  var s = "";
  for (var i = 0; i < 50000; i++) {
    s += "piece";
  }
  return s;
}
print(grow().length);

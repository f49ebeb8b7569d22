var s = "";
for (var i = 0; i < 200000; i++) {
  s = s + "piece";
}
print(s.length);

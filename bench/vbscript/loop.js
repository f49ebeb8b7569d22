function loop3m() {
  var total = 0;
  for (var i = 1; i <= 3000000; i++) {
    if (i % 2 === 0) {
      total += 3;
    } else {
      total += 1;
    }
  }
  return total;
}
print(loop3m());

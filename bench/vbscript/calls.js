function addOne(a, b) {
  return a + b;
}

function callMillion() {
  var total = 0;
  for (var i = 0; i < 1000000; i++) {
    total = addOne(total, 1);
  }
  return total;
}
print(callMillion());

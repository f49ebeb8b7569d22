var total = 0;
for (var i = 1; i <= 3000000; i++) {
  if (i % 2 === 0) {
    total = total + 3;
  } else {
    total = total + 1;
  }
}
print(total);

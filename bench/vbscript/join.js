function build() {
  var parts = [];
  for (var i = 0; i < 160000; i++) {
    parts.push("piece");
  }
  return parts.join("");
}
print(build().length);

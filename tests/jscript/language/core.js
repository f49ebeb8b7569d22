// The language core as Duktape runs it: numbers, strings, arrays, objects, closures,
// prototypes, regular expressions, JSON, exceptions and labels.
var echo = function (v) { WScript.Echo(v); };

echo(1 + 2 * 3 + " " + 7 / 2 + " " + (7 % 3) + " " + (-7 >> 1) + " " + (-7 >>> 28) + " " + 0.1 * 3);
echo([typeof 1, typeof "s", typeof null, typeof undefined, typeof {}, typeof [], typeof echo].join(","));
echo("abc".toUpperCase() + " " + "a,b,,c".split(",").length + " " + "  pad  ".replace(/^\s+|\s+$/g, "") + "|");
echo("Hello".charAt(1) + "Hello".substring(1, 3) + "Hello".substr(-3, 2) + "Hello".indexOf("l") + "Hello".lastIndexOf("l"));

var list = [5, 3, 9, 1];
list.sort(function (a, b) { return a - b; });
echo(list.join(" ") + " | " + list.slice(1, 3) + " | " + list.concat([10]).length + " | " + list.reverse()[0]);
echo([1, 2, 3].map(function (x) { return x * x; }).filter(function (x) { return x > 1; }).join("+"));

function Counter(start) { this.value = start; }
Counter.prototype.next = function () { return ++this.value; };
var counter = new Counter(10);
counter.next();
echo(counter.next() + " " + (counter instanceof Counter) + " " + counter.hasOwnProperty("next"));

function makeAdder(n) { return function (x) { return x + n; }; }
echo(makeAdder(5)(10));

var match = /(\d+)-(\d+)/.exec("range 10-20 here");
echo(match[1] + ".." + match[2] + " " + "a1b22c333".replace(/\d+/g, function (m) { return "<" + m.length + ">"; }));

var data = JSON.parse('{"name": "x", "list": [1, 2, {"deep": true}]}');
echo(data.list[2].deep + " " + JSON.stringify({a: [1, "two"], b: null}));

try {
  throw new Error("thrown");
} catch (e) {
  echo("caught " + e.message + " " + (e instanceof Error));
} finally {
  echo("finally");
}

outer: for (var i = 0; i < 3; i++) {
  for (var j = 0; j < 3; j++) {
    if (j == 2) continue outer;
    if (i == 2) break outer;
    echo(i + "," + j);
  }
}

var seen = [];
for (var key in {x: 1, y: 2}) seen.push(key);
echo(seen.join(""));
switch (3) { case 1: echo("one"); break; case 3: echo("three"); default: echo("fell through"); }
echo(parseInt("42px") + parseFloat("3.5e1") + Number("0x10") + " " + isNaN("abc") + " " + (1 / 0));

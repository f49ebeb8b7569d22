// The dictionary program through host calls: Scripting.Dictionary from JScript (no peer).
var d = new ActiveXObject("Scripting.Dictionary");
for (var i = 1; i <= 200000; i++) {
  d.Add("key" + i, i);
}
var found = 0;
for (var i = 1; i <= 200000; i++) {
  var k = "key" + i;
  if (d.Exists(k)) found += d(k);
}
WScript.Echo(found);

// The WScript object from JScript: Echo, Arguments, script names, StdOut, CreateObject and
// the Scripting.Dictionary with VBArray and Enumerator.
WScript.Echo("echo", 1, 2.5, true, null);
var args = WScript.Arguments;
WScript.Echo(args.Count() + " " + args.length + " " + args(0) + " [" + args.Item(1) + "]");
for (var e = new Enumerator(args); !e.atEnd(); e.moveNext()) WScript.Echo("arg: " + e.item());
WScript.Echo(WScript.ScriptName + " " + WScript.ScriptFullName);
WScript.StdOut.WriteLine("to stdout");
WScript.StdOut.Write("no newline");
WScript.StdOut.WriteLine();

var dictionary = WScript.CreateObject("Scripting.Dictionary");
dictionary.Add("one", 1);
dictionary("two") = 2;
dictionary.Item("three") = 3;
dictionary("two") += 20;
WScript.Echo(dictionary.Count + " " + dictionary("two") + " " + dictionary.Exists("three") + " " + dictionary.Exists("four"));
WScript.Echo(new VBArray(dictionary.Keys()).toArray().join(",") + " = " + new VBArray(dictionary.Items()).toArray().join(","));
var keys = [];
for (var e = new Enumerator(dictionary); !e.atEnd(); e.moveNext()) keys.push(e.item());
WScript.Echo(keys.join(" "));
var other = new ActiveXObject("Scripting.Dictionary");
other.Add(new Date(2020, 0, 1), "date key");
WScript.Echo(typeof new VBArray(other.Keys()).getItem(0) + " " + (new VBArray(other.Keys()).getItem(0).getFullYear()));
try {
  dictionary.Add("one", 2);
} catch (e) {
  WScript.Echo("error " + (e.number & 0xFFFF) + ": " + e.description);
}
WScript.Echo("before quit");
WScript.Quit(3);
WScript.Echo("after quit");

// What JScript adds to the language: the Error constructor with a number, number and
// description on every error, the engine's name and version, getVarDate, CollectGarbage and
// dates as text.
var e = new Error(42, "custom text");
WScript.Echo(e.number + " " + e.description + " " + e.message);
e.description = "changed";
WScript.Echo(e.message);
WScript.Echo(new Error("only text").number + " " + new Error("only text").description);
try {
  undefinedName.x = 1;
} catch (caught) {
  WScript.Echo((caught.number & 0xFFFF) + " " + (caught.number >> 16 & 0x1FFF) + " " + caught.description);
}
try {
  null.x = 1;
} catch (caught) {
  WScript.Echo((caught.number & 0xFFFF) + " " + caught.description);
}
try {
  var notAFunction = 1;
  notAFunction();
} catch (caught) {
  WScript.Echo((caught.number & 0xFFFF) + " " + caught.description);
}
WScript.Echo(ScriptEngine() + " " + ScriptEngineMajorVersion() + "." + ScriptEngineMinorVersion() + " " +
             (ScriptEngineBuildVersion() > 0));
var date = new Date(2024, 0, 31, 12, 30, 0);
WScript.Echo(date.getVarDate().getTime() == date.getTime());
CollectGarbage();
WScript.Echo(typeof Duktape + " " + typeof VBArray + " " + typeof Enumerator + " " + typeof ActiveXObject);
// Dates as text in JScript's forms (the zone is "UTC" or "UTC+hhmm", so it is masked here).
var local = new Date(2024, 0, 31, 12, 30, 5);
WScript.Echo(local.toString().replace(/ UTC[-+0-9]* /, " ZONE "));
WScript.Echo(String(local) == local.toString(), (local + "") == local.toString());
WScript.Echo(local.toDateString() + " | " + local.toTimeString().replace(/ UTC[-+0-9]*$/, " ZONE"));
WScript.Echo(local.toLocaleString() + " | " + new Date(2024, 6, 4, 0, 5, 9).toLocaleTimeString());
WScript.Echo(new Date(0).toUTCString() + " | " + new Date(Date.UTC(2024, 11, 25, 23, 59, 1)).toGMTString());
WScript.Echo(new Date("not a date") + " " + new Date(NaN).toUTCString());
// Objects of the host are objects to typeof.
WScript.Echo(typeof new ActiveXObject("Scripting.Dictionary") + " " + typeof WScript + " " + typeof function () {});
// Dates read by JScript's rules, in local time unless a zone is given.
function same(text, expected) { return Date.parse(text) === expected.getTime(); }
WScript.Echo(same("7/20/96", new Date(1996, 6, 20)), same("1/31/2024 12:30:05 PM", new Date(2024, 0, 31, 12, 30, 5)),
             same("1-31-2024", new Date(2024, 0, 31)), same("January 31, 2024", new Date(2024, 0, 31)),
             same("31 Jan 2024 10:", new Date(2024, 0, 31, 10)), same("2024 Ju 4 (comment (nested)) 10:11", new Date(2024, 6, 4, 10, 11)),
             same("Tuesday November 9 1996", new Date(1996, 10, 9)), same("12:00 AM Jan 2 2000", new Date(2000, 0, 2, 0)));
WScript.Echo(Date.parse("Thu, 1 Jan 1970 00:00:00 UTC"), Date.parse("Thu Jan 1 05:30:00 UTC+0530 1970"),
             Date.parse("Jan 1 1970 00:00:00 EST"), Date.parse("1970-01-01T00:00:00Z"));
WScript.Echo(isNaN(Date.parse("23:15 PM Jan 1 2000")), isNaN(Date.parse("Jan Feb 1 2000")), isNaN(Date.parse("1/2")),
             isNaN(new Date("no date")), new Date(local).getTime() === local.getTime(),
             new Date(local.toString()).getTime() === local.getTime(), typeof Date(), new Date(2024, 1) - new Date(2024, 1, 1));
// parseInt without a radix: a leading 0 means octal, 0x hexadecimal.
WScript.Echo(parseInt("010"), parseInt("08"), parseInt(" -017"), parseInt("0x1F"), parseInt("10"), parseInt("010", 10), parseInt("0"));
// RegExp.$1 ... and the other statics tell of the last match.
WScript.Echo("[" + RegExp.$1 + "]", RegExp.index);
if (/(\d+)-(\d+)/.test("call 555-1234 now")) WScript.Echo(RegExp.$1, RegExp.$2, "[" + RegExp.$3 + "]", RegExp.index,
    RegExp.lastIndex, RegExp.lastMatch, RegExp.lastParen, "[" + RegExp.leftContext + "]", "[" + RegExp.rightContext + "]");
"key=value".match(/(\w+)=(\w+)/);
WScript.Echo(RegExp.$1, RegExp.$2, RegExp.input);
/(x)/.exec("no match here");
WScript.Echo(RegExp.$1);

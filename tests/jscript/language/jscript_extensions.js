// What JScript adds to the language: the Error constructor with a number, number and
// description on every error, the engine's name and version, getVarDate and CollectGarbage.
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

// A value that is no Error object, thrown and not caught.
WScript.Echo("start");
throw "just a string";

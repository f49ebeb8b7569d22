// An error nobody catches ends the script with its number, description and line.
WScript.Echo("start");
function fail() {
  return missingVariable + 1;
}
fail();
WScript.Echo("not reached");

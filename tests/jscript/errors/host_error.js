// A host object's error that nobody catches keeps the host's number and description.
var dictionary = new ActiveXObject("Scripting.Dictionary");
dictionary.Add("k", 1);
dictionary.Add("k", 2);

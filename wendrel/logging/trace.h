#pragma once
// The debug trace: lines that say what the server is doing, each under the scope (function)
// that writes it. Off unless WENDREL_TRACE is set: "stderr" writes to standard error, anything
// else names a file the lines are appended to.

#include <string_view>

/// Whether tracing is on (read once).
bool TraceEnabled();
/// Writes "scope: text" as one line when tracing is on.
void Trace(std::string_view scope, std::string_view text);

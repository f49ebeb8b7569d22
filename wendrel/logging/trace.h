#pragma once
// The debug trace: what the server is doing, in nested scopes. Off unless a target is set:
// WENDREL_TRACE at start-up ("stderr" writes to standard error, anything else names a file the
// lines are appended to) or SetTraceTarget later.
//
// Lines are indented by two spaces per open scope:
//   ==> CHTTPServer::StopPool
//     Wendrel::Stopping thread 0...
//   <== CHTTPServer::StopPool (203)
// The depth is one counter for the whole process, as the server keeps it; lines of threads
// that trace at the same time share it.

#include <chrono>
#include <cstddef>
#include <string_view>

/// Longest text of a trace message in bytes; longer texts are cut there.
inline constexpr size_t kMaxTraceMessage = 1014;

/// Whether tracing is on.
bool TraceEnabled();

/// Sends the trace to `target`: "stderr", a file path, or "" to switch it off.
void SetTraceTarget(std::string_view target);

/// The number of scopes open now (0 outside every scope).
int TraceDepth();

/// Sets the depth back to 0, as storing a LogLevel of 1 or more does. Scopes still open then
/// leave without taking the depth below 0.
void ResetTraceDepth();

/// Writes "Wendrel::" + the first kMaxTraceMessage bytes of `text` at the current depth.
void TraceMessage(std::string_view text);

/// TraceMessage with a printf-style text; formats only when tracing is on.
void TraceFormatted(const char* format, ...) __attribute__((format(printf, 1, 2)));

/// A traced scope: construction writes "==> name" and opens a level; destruction closes it and
/// writes "<== name (ms)" with the milliseconds spent. `name` must outlive the scope (a literal).
class TraceScope {
 public:
  explicit TraceScope(std::string_view name);
  ~TraceScope();
  TraceScope(const TraceScope&) = delete;
  TraceScope& operator=(const TraceScope&) = delete;

 private:
  std::string_view name_;
  std::chrono::steady_clock::time_point entered_;
};

/// The former form, kept until its callers move to TraceScope and TraceMessage: writes
/// "scope: text" as one line at the current depth.
void Trace(std::string_view scope, std::string_view text);

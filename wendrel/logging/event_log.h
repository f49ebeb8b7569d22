#pragma once
// The server's event log: errors and notable events under the source "Harborlane". Entries go
// to syslog with that identity; when WENDREL_EVENT_LOG_FILE names a file they are appended
// there instead, one per line ("ERROR text", "INFORMATION text", "LOG text"), so tests can read
// them. Syslog needs no registration, so the log is open for the life of the process: entries
// written before the server starts (InitSSL's) are kept, not dropped.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

enum class EventLogType { Error, Information, LogMessage };

inline constexpr char kEventSourceName[] = "Harborlane";

/// Longest error or informational entry in bytes; longer texts are cut there.
inline constexpr size_t kMaxEventLogEntry = 2000;

/// Raises the host's LogMessage event with the text. Returns false when a handler cancelled the
/// entry, true to have it written.
using LogMessageEvent = std::function<bool(std::string_view text)>;

/// The entries the server writes, each with its rule for when it is written.
class EventLog {
 public:
  EventLog() = delete;

  /// An error entry: written at every LogLevel, cut to kMaxEventLogEntry bytes.
  static void Error(std::string_view text);

  /// An informational entry ("*** SERVER STARTED ***", "*** SERVER STOP ***", the SSL key and
  /// certificate in use): written only when `log_level` is 2, cut to kMaxEventLogEntry bytes.
  static void Information(int16_t log_level, std::string_view text);

  /// A log message (Response.AppendToLog), written at every LogLevel. When `raise_event` is set
  /// it is called first, and the entry is dropped when it returns false.
  static void LogMessage(std::string_view text, const LogMessageEvent& raise_event);
};

/// Whether informational entries are written at this LogLevel: only at 2.
bool InformationEntriesWanted(int16_t log_level);

/// Writes one entry to the sink as it stands: no LogLevel rule, no length cap. In the file sink
/// control bytes of the text are written as "\r", "\n", "\t" or "\xHH", so an entry stays one
/// line. A sink that cannot be written drops the entry.
void WriteEventLog(EventLogType type, std::string_view text);

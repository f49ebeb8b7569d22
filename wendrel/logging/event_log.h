#pragma once
// The server's event log: errors and notable events under the source "Harborlane". Entries go
// to syslog; when WENDREL_EVENT_LOG_FILE names a file they are appended there instead, one per
// line ("ERROR text", "INFORMATION text", "LOG text"), so tests can read them.

#include <string_view>

enum class EventLogType { Error, Information, LogMessage };

inline constexpr char kEventSourceName[] = "Harborlane";

/// Writes one entry; a sink that cannot be written drops it.
void WriteEventLog(EventLogType type, std::string_view text);

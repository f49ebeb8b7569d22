#include "wendrel/logging/event_log.h"

#include <syslog.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace {

constexpr char kEventLogFileVariable[] = "WENDREL_EVENT_LOG_FILE";
constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr int16_t kVerboseLogLevel = 2;

std::mutex& SinkMutex() {
  static std::mutex mutex;
  return mutex;
}

std::string_view TypeLabel(EventLogType type) {
  switch (type) {
    case EventLogType::Error:
      return "ERROR";
    case EventLogType::Information:
      return "INFORMATION";
    case EventLogType::LogMessage:
      return "LOG";
  }
  return "LOG";
}

int SyslogPriority(EventLogType type) {
  return type == EventLogType::Error ? LOG_ERR : LOG_INFO;
}

std::string_view Capped(std::string_view text) { return text.substr(0, kMaxEventLogEntry); }

void AppendOneLine(std::string& out, std::string_view text) {
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      out += c;
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else {
      out += "\\x";
      out += kHexDigits[byte >> 4];
      out += kHexDigits[byte & 0xF];
    }
  }
}

void WriteToFile(const char* file_name, EventLogType type, std::string_view text) {
  std::string line(TypeLabel(type));
  line += ' ';
  AppendOneLine(line, text);
  line += '\n';
  std::FILE* file = std::fopen(file_name, "a");
  if (file == nullptr) return;
  std::fwrite(line.data(), 1, line.size(), file);
  std::fclose(file);
}

void WriteToSyslog(EventLogType type, std::string_view text) {
  static bool opened = false;
  if (!opened) {
    openlog(kEventSourceName, LOG_PID, LOG_DAEMON);
    opened = true;
  }
  std::string message(text);
  syslog(SyslogPriority(type), "%s", message.c_str());
}

}  // namespace

void WriteEventLog(EventLogType type, std::string_view text) {
  std::lock_guard lock(SinkMutex());
  const char* file_name = std::getenv(kEventLogFileVariable);
  if (file_name != nullptr && *file_name != '\0') {
    WriteToFile(file_name, type, text);
    return;
  }
  WriteToSyslog(type, text);
}

bool InformationEntriesWanted(int16_t log_level) { return log_level == kVerboseLogLevel; }

void EventLog::Error(std::string_view text) { WriteEventLog(EventLogType::Error, Capped(text)); }

void EventLog::Information(int16_t log_level, std::string_view text) {
  if (!InformationEntriesWanted(log_level)) return;
  WriteEventLog(EventLogType::Information, Capped(text));
}

void EventLog::LogMessage(std::string_view text, const LogMessageEvent& raise_event) {
  if (raise_event && !raise_event(text)) return;
  WriteEventLog(EventLogType::LogMessage, text);
}

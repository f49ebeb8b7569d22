#include "wendrel/logging/event_log.h"

#include <syslog.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace {

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

}  // namespace

void WriteEventLog(EventLogType type, std::string_view text) {
  std::lock_guard lock(SinkMutex());
  if (const char* file_name = std::getenv("WENDREL_EVENT_LOG_FILE"); file_name && *file_name) {
    std::FILE* file = std::fopen(file_name, "a");
    if (file == nullptr) return;
    std::string line(TypeLabel(type));
    line += ' ';
    line += text;
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), file);
    std::fclose(file);
    return;
  }
  static bool opened = false;
  if (!opened) {
    openlog(kEventSourceName, LOG_PID, LOG_DAEMON);
    opened = true;
  }
  std::string message(text);
  syslog(SyslogPriority(type), "%s", message.c_str());
}

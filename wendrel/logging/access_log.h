#pragma once
// The W3C extended access log: one file per UTC day in LogPath ("w3c_YYMMDD.log"), three
// directive lines at the top of a new file, then one line per request. Each connection has its
// own writer with its own open file; all writers of the process take turns through one lock, so
// lines never interleave and a file gets its directives once.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

/// What one access-log line says about a request. Texts are bytes as received; an empty text is
/// logged as "-".
struct AccessLogRecord {
  std::string method, uri_stem, uri_query, user_name, client_address, user_agent;
  int32_t server_port = 0;
  int32_t status = 0;
};

/// Gives the current time; the writer asks it once per record.
using AccessLogClock = std::function<std::chrono::system_clock::time_point()>;

/// Whether LogLevel asks for an access log: every value but 0.
bool AccessLogWanted(int16_t log_level);

/// The day file for the UTC date of `now`: `log_path`, a '/' unless it already ends with one,
/// then "w3c_YYMMDD.log" (two-digit year, month, day). The name is fixed, so the file always lies
/// directly in `log_path`. Empty (no file) when `log_path` is empty or holds a NUL byte.
std::string AccessLogFilePath(std::string_view log_path, std::chrono::system_clock::time_point now);

/// The three directive lines that open a new file; "#Date:" carries `now` in UTC.
std::string AccessLogHeader(std::chrono::system_clock::time_point now);

/// One record, ending in '\n': UTC date and time of `now`, server address 127.0.0.1, the
/// escaped texts and the numbers of `record`, substatus and Win32 status 0.
std::string AccessLogLine(const AccessLogRecord& record, std::chrono::system_clock::time_point now);

/// A text as logged: "-" when empty; a space becomes '+'; a control byte (below 0x20, or 0x7F)
/// becomes "%XX" in upper-case hex, so a value can never end the line or split a field; every
/// other byte, '+' and '%' included, stays as it is.
std::string EscapeAccessLogField(std::string_view value);

/// Writes access-log records for one connection.
class AccessLogWriter {
 public:
  /// A writer with no file open yet. `clock` gives the current time; empty means the system
  /// clock.
  explicit AccessLogWriter(AccessLogClock clock = {});
  ~AccessLogWriter();
  AccessLogWriter(const AccessLogWriter&) = delete;
  AccessLogWriter& operator=(const AccessLogWriter&) = delete;

  /// Appends the record's line to today's file in `log_path` and returns true once every byte
  /// is with the operating system.
  /// - The file is opened on first use and kept open; when the day (or `log_path`) changes, the
  ///   writer moves on to the new day's file.
  /// - An empty file gets the three directive lines first.
  /// - An existing file with today's name that was created on another UTC day is renamed to
  ///   "w3c_YYMMDD.<its creation time as YYYYMMDDTHHMMSSZ>[-N].log" in the same folder, and a
  ///   new file is begun; when the rename fails the old file is appended to as it is.
  /// Returns false and writes nothing (a failed write is rolled back) when there is no
  /// `log_path`, the folder is missing or the file cannot be opened or written; the next call
  /// tries again.
  bool Write(std::string_view log_path, const AccessLogRecord& record);

 private:
  bool OpenDayFile(const std::string& path, std::chrono::system_clock::time_point now);
  bool WriteText(std::chrono::system_clock::time_point now, const AccessLogRecord& record);
  void CloseFile();

  AccessLogClock clock_;
  int file_ = -1;          // the open day file, or -1
  std::string file_path_;  // the path `file_` was opened by
};

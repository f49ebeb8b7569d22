#include "wendrel/logging/access_log.h"

#include <fcntl.h>
#include <stdio.h>  // renameat2
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <mutex>

#include "wendrel/logging/file_creation_time.h"

namespace {

using SystemTime = std::chrono::system_clock::time_point;

constexpr std::string_view kSoftwareDirective = "#Software: Delvarin Harborlane version 5.0\n";
constexpr std::string_view kDateDirective = "#Date: ";
constexpr std::string_view kFieldsDirective =
    "#Fields: date time s-ip cs-method cs-uri-stem cs-uri-query s-port cs-username c-ip "
    "cs(User-Agent) sc-status sc-substatus sc-win32-status\n";
constexpr std::string_view kServerAddress = "127.0.0.1";
constexpr std::string_view kFixedStatusFields = "0 0";
constexpr std::string_view kFileExtension = ".log";
constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr mode_t kLogFileMode = 0644;
// Renaming an old file aside tries "<stamp>.log", "<stamp>-2.log", ... up to this many names.
constexpr int kMaxAsideNames = 100;

// Every writer of the process takes this lock for a whole record.
std::mutex& SharedWriterMutex() {
  static std::mutex mutex;
  return mutex;
}

struct UtcFields {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

UtcFields UtcFieldsOf(SystemTime time) {
  auto seconds = std::chrono::floor<std::chrono::seconds>(time.time_since_epoch()).count();
  std::time_t stamp = static_cast<std::time_t>(seconds);
  std::tm parts{};
  if (gmtime_r(&stamp, &parts) == nullptr) return {};
  return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
          parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

bool SameUtcDay(SystemTime a, SystemTime b) {
  UtcFields first = UtcFieldsOf(a), second = UtcFieldsOf(b);
  return first.year == second.year && first.month == second.month && first.day == second.day;
}

// "YYYY-MM-DD hh:mm:ss", the form of "#Date:" and of every record.
std::string DateTimeText(SystemTime time) {
  UtcFields utc = UtcFieldsOf(time);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", utc.year, utc.month, utc.day,
                utc.hour, utc.minute, utc.second);
  return text;
}

// "w3c_YYMMDD.log": a fixed shape with no separator, so it cannot leave the folder.
std::string DayFileName(SystemTime time) {
  UtcFields utc = UtcFieldsOf(time);
  int two_digit_year = ((utc.year % 100) + 100) % 100;
  char name[32];
  std::snprintf(name, sizeof name, "w3c_%02d%02d%02d.log", two_digit_year, utc.month, utc.day);
  return name;
}

void AppendEscaped(std::string& out, std::string_view value) {
  if (value.empty()) {
    out += '-';
    return;
  }
  for (char c : value) {
    auto byte = static_cast<unsigned char>(c);
    if (byte == ' ') {
      out += '+';
    } else if (byte < 0x20 || byte == 0x7F) {
      out += '%';
      out += kHexDigits[byte >> 4];
      out += kHexDigits[byte & 0xF];
    } else {
      out += c;
    }
  }
}

void AppendField(std::string& out, std::string_view field) {
  out += field;
  out += ' ';
}

void AppendEscapedField(std::string& out, std::string_view value) {
  AppendEscaped(out, value);
  out += ' ';
}

// The name an old file with today's name is kept under: its own creation time goes in.
std::string AsideName(const std::string& path, SystemTime created, int attempt) {
  UtcFields utc = UtcFieldsOf(created);
  char stamp[48];
  std::snprintf(stamp, sizeof stamp, ".%04d%02d%02dT%02d%02d%02dZ", utc.year, utc.month, utc.day,
                utc.hour, utc.minute, utc.second);
  std::string name = path.substr(0, path.size() - kFileExtension.size());
  name += stamp;
  if (attempt > 1) name += "-" + std::to_string(attempt);
  name += kFileExtension;
  return name;
}

// Renames the old file out of the way without ever replacing another file.
bool MoveAside(const std::string& path, SystemTime created) {
  for (int attempt = 1; attempt <= kMaxAsideNames; ++attempt) {
    std::string aside = AsideName(path, created, attempt);
    if (renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0) {
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

int OpenExisting(const std::string& path) {
  return open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
}

int CreateNew(const std::string& path) {
  int file = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, kLogFileMode);
  // Another process may have made it a moment ago: then it is today's and we append.
  if (file < 0 && errno == EEXIST) return OpenExisting(path);
  return file;
}

// An existing file counts as today's when its creation time is on the UTC day the name was
// made from, or when that time cannot be read (nothing is moved on a guess).
bool IsFromDay(int file, SystemTime day, SystemTime* created) {
  std::optional<SystemTime> creation = FileCreationTime(file);
  if (!creation) return true;
  *created = *creation;
  return SameUtcDay(*creation, day);
}

bool WriteAll(int file, std::string_view text) {
  while (!text.empty()) {
    ssize_t written = write(file, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    text.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

}  // namespace

bool AccessLogWanted(int16_t log_level) { return log_level != 0; }

std::string AccessLogFilePath(std::string_view log_path, SystemTime now) {
  if (log_path.empty() || log_path.find('\0') != std::string_view::npos) return {};
  std::string path(log_path);
  if (path.back() != '/') path += '/';
  path += DayFileName(now);
  return path;
}

std::string AccessLogHeader(SystemTime now) {
  std::string header(kSoftwareDirective);
  header += kDateDirective;
  header += DateTimeText(now);
  header += '\n';
  header += kFieldsDirective;
  return header;
}

std::string AccessLogLine(const AccessLogRecord& record, SystemTime now) {
  std::string line;
  line.reserve(128 + record.uri_stem.size() + record.uri_query.size() + record.user_agent.size());
  AppendField(line, DateTimeText(now));
  AppendField(line, kServerAddress);
  AppendEscapedField(line, record.method);
  AppendEscapedField(line, record.uri_stem);
  AppendEscapedField(line, record.uri_query);
  AppendField(line, std::to_string(record.server_port));
  AppendEscapedField(line, record.user_name);
  AppendEscapedField(line, record.client_address);
  AppendEscapedField(line, record.user_agent);
  AppendField(line, std::to_string(record.status));
  line += kFixedStatusFields;
  line += '\n';
  return line;
}

std::string EscapeAccessLogField(std::string_view value) {
  std::string escaped;
  AppendEscaped(escaped, value);
  return escaped;
}

AccessLogWriter::AccessLogWriter(AccessLogClock clock) : clock_(std::move(clock)) {
  if (!clock_) clock_ = [] { return std::chrono::system_clock::now(); };
}

AccessLogWriter::~AccessLogWriter() { CloseFile(); }

bool AccessLogWriter::Write(std::string_view log_path, const AccessLogRecord& record) {
  std::lock_guard lock(SharedWriterMutex());
  // Read under the lock, so records reach the files in the order of their times.
  SystemTime now = clock_();
  std::string path = AccessLogFilePath(log_path, now);
  if (path.empty()) return false;
  if (file_ >= 0 && path != file_path_) CloseFile();
  if (file_ < 0 && !OpenDayFile(path, now)) return false;
  if (WriteText(now, record)) return true;
  CloseFile();
  return false;
}

bool AccessLogWriter::OpenDayFile(const std::string& path, SystemTime now) {
  int file = OpenExisting(path);
  SystemTime created{};
  if (file >= 0 && !IsFromDay(file, now, &created)) {
    // Same name, another day: keep the old file under its own date, begin a fresh one.
    close(file);
    file = MoveAside(path, created) ? CreateNew(path) : OpenExisting(path);
  } else if (file < 0) {
    file = CreateNew(path);
  }
  if (file < 0) return false;
  file_ = file;
  file_path_ = path;
  return true;
}

bool AccessLogWriter::WriteText(SystemTime now, const AccessLogRecord& record) {
  struct stat status {};
  if (fstat(file_, &status) != 0) return false;
  std::string text = status.st_size == 0 ? AccessLogHeader(now) : std::string();
  text += AccessLogLine(record, now);
  if (WriteAll(file_, text)) return true;
  // Take back a partial line, so the next record starts on a line of its own.
  (void)!ftruncate(file_, status.st_size);
  return false;
}

void AccessLogWriter::CloseFile() {
  if (file_ >= 0) close(file_);
  file_ = -1;
  file_path_.clear();
}

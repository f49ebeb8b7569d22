// The W3C access log: file names, directives, record lines, escaping, day files, failures and
// many writers at once.
#include "wendrel/logging/access_log.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "wendrel/logging/file_creation_time.h"

namespace {

namespace fs = std::filesystem;
using SystemTime = std::chrono::system_clock::time_point;
using namespace std::chrono_literals;

constexpr char kFieldsLine[] =
    "#Fields: date time s-ip cs-method cs-uri-stem cs-uri-query s-port cs-username c-ip "
    "cs(User-Agent) sc-status sc-substatus sc-win32-status";

SystemTime Utc(int year, unsigned month, unsigned day, int hour = 0, int minute = 0,
               int second = 0) {
  std::chrono::sys_days date{std::chrono::year{year} / std::chrono::month{month} /
                             std::chrono::day{day}};
  return date + std::chrono::hours(hour) + std::chrono::minutes(minute) +
         std::chrono::seconds(second);
}

AccessLogClock FixedClock(SystemTime time) {
  return [time] { return time; };
}

// The current time, not within the last seconds of a UTC day: files made now are born on the
// day the returned time names.
SystemTime SameDayNow() {
  SystemTime now = std::chrono::system_clock::now();
  auto into_day = now - std::chrono::floor<std::chrono::days>(now);
  if (into_day > 24h - 5s) std::this_thread::sleep_for(24h - into_day + 1s);
  return std::chrono::system_clock::now();
}

AccessLogRecord SampleRecord() {
  AccessLogRecord record;
  record.method = "GET";
  record.uri_stem = "/a b.htm";
  record.uri_query = "x=1";
  record.client_address = "10.0.0.5";
  record.user_agent = "Mozilla/4.0 (compatible)";
  record.server_port = 8080;
  record.status = 200;
  return record;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> FileNamesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

class AccessLogFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = fs::temp_directory_path() /
              ("wendrel_access_log_" + std::string(info->name()) + "_" + std::to_string(getpid()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string LogPath() const { return folder_.string(); }
  fs::path DayFile(SystemTime time) const { return AccessLogFilePath(LogPath(), time); }

  fs::path folder_;
};

TEST(AccessLogFilePath, NamedForTheUtcDate) {
  struct Case {
    std::string_view log_path;
    SystemTime time;
    std::string_view expected;
  } cases[] = {
      {"/var/log/site", Utc(2026, 12, 7, 10, 30), "/var/log/site/w3c_261207.log"},
      {"/var/log/site/", Utc(2026, 12, 7, 23, 59, 59), "/var/log/site/w3c_261207.log"},
      {"logs", Utc(2000, 1, 1), "logs/w3c_000101.log"},
      {"/", Utc(2009, 3, 4, 0, 0, 0), "/w3c_090304.log"},
      {"/l", Utc(2099, 11, 30), "/l/w3c_991130.log"},
      {"", Utc(2026, 12, 7), ""},
      {std::string_view("/var/log\0/etc", 13), Utc(2026, 12, 7), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.log_path));
    EXPECT_EQ(AccessLogFilePath(c.log_path, c.time), c.expected);
  }
}

TEST(AccessLogFilePath, UsesUtcWhateverTheLocalZone) {
  const char* saved = std::getenv("TZ");
  std::string saved_zone = saved != nullptr ? saved : "";
  setenv("TZ", "XYZ-14", 1);  // fourteen hours east of UTC: local date is a day ahead
  tzset();
  std::string path = AccessLogFilePath("/l", Utc(2026, 12, 7, 23, 0));
  if (saved != nullptr) {
    setenv("TZ", saved_zone.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
  EXPECT_EQ(path, "/l/w3c_261207.log");
}

TEST(AccessLogFilePath, AlwaysDirectlyInsideLogPath) {
  const std::regex day_name(R"(w3c_\d{6}\.log)");
  for (std::string_view log_path : {"/srv/logs", "/srv/logs/", "../up", "a/../../b", ".", "x/.."}) {
    SCOPED_TRACE(std::string(log_path));
    fs::path path = AccessLogFilePath(log_path, Utc(2026, 12, 7));
    EXPECT_TRUE(std::regex_match(path.filename().string(), day_name));
    std::string expected_folder(log_path);
    if (expected_folder.back() == '/') expected_folder.pop_back();
    EXPECT_EQ(path.parent_path().string(), expected_folder);
  }
}

TEST(AccessLogLevel, EveryLevelButZeroWantsTheLog) {
  EXPECT_FALSE(AccessLogWanted(0));
  for (int16_t level : {1, 2, 3, -1, 255}) EXPECT_TRUE(AccessLogWanted(level)) << level;
}

TEST(AccessLogEscaping, SpacesControlBytesAndEmptyValues) {
  struct Case {
    std::string_view value, expected;
  } cases[] = {
      {"", "-"},
      {"/a b.htm", "/a+b.htm"},
      {"Mozilla/4.0 (compatible)", "Mozilla/4.0+(compatible)"},
      {"a+b", "a+b"},
      {"100%", "100%"},
      {"x\r\ny", "x%0D%0Ay"},
      {"\t", "%09"},
      {std::string_view("\0", 1), "%00"},
      {"\x1f\x7f", "%1F%7F"},
      {"caf\xc3\xa9 \x80", "caf\xc3\xa9+\x80"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.value));
    EXPECT_EQ(EscapeAccessLogField(c.value), c.expected);
  }
}

TEST(AccessLogLine, FieldsInOrderWithHyphensForMissingValues) {
  EXPECT_EQ(AccessLogLine(SampleRecord(), Utc(2026, 12, 7, 9, 5, 3)),
            "2026-12-07 09:05:03 127.0.0.1 GET /a+b.htm x=1 8080 - 10.0.0.5 "
            "Mozilla/4.0+(compatible) 200 0 0\n");
  EXPECT_EQ(AccessLogLine(AccessLogRecord{}, Utc(2026, 1, 2)),
            "2026-01-02 00:00:00 127.0.0.1 - - - 0 - - - 0 0 0\n");
}

TEST_F(AccessLogFolder, NewFileStartsWithTheThreeDirectives) {
  SystemTime first = Utc(2026, 12, 7, 10, 30, 5);
  SystemTime now = first;
  AccessLogWriter writer([&now] { return now; });
  ASSERT_TRUE(writer.Write(LogPath(), SampleRecord()));
  now = first + 1s;
  AccessLogRecord second = SampleRecord();
  second.user_name = "ann";
  second.status = 404;
  ASSERT_TRUE(writer.Write(LogPath(), second));

  EXPECT_EQ(ReadFile(folder_ / "w3c_261207.log"),
            "#Software: Delvarin Harborlane version 5.0\n"
            "#Date: 2026-12-07 10:30:05\n" +
                std::string(kFieldsLine) +
                "\n"
                "2026-12-07 10:30:05 127.0.0.1 GET /a+b.htm x=1 8080 - 10.0.0.5 "
                "Mozilla/4.0+(compatible) 200 0 0\n"
                "2026-12-07 10:30:06 127.0.0.1 GET /a+b.htm x=1 8080 ann 10.0.0.5 "
                "Mozilla/4.0+(compatible) 404 0 0\n");
}

TEST_F(AccessLogFolder, LaterWriterOfTheSameDayAppendsWithoutDirectives) {
  SystemTime now = SameDayNow();
  {
    AccessLogWriter writer(FixedClock(now));
    ASSERT_TRUE(writer.Write(LogPath(), SampleRecord()));
  }
  AccessLogWriter writer(FixedClock(now));
  ASSERT_TRUE(writer.Write(LogPath(), SampleRecord()));

  std::vector<std::string> lines = Lines(ReadFile(DayFile(now)));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "#Software: Delvarin Harborlane version 5.0");
  EXPECT_EQ(lines[3], lines[4]);
  EXPECT_EQ(FileNamesIn(folder_).size(), 1u);
}

TEST_F(AccessLogFolder, EmptyDayFileGetsTheDirectives) {
  SystemTime now = SameDayNow();
  std::ofstream(DayFile(now)).close();
  AccessLogWriter writer(FixedClock(now));
  ASSERT_TRUE(writer.Write(LogPath(), SampleRecord()));
  std::vector<std::string> lines = Lines(ReadFile(DayFile(now)));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[2], kFieldsLine);
}

// The files below are born today, while the clock says 3 February 2001: a file with that day's
// name from another day.
TEST_F(AccessLogFolder, FileFromAnotherDayIsKeptAsideAndBegunAnew) {
  SystemTime day = Utc(2001, 2, 3, 12, 0, 0);
  for (std::string agent : {"first", "second", "third"}) {
    AccessLogWriter writer(FixedClock(day));
    AccessLogRecord record = SampleRecord();
    record.user_agent = agent;
    ASSERT_TRUE(writer.Write(LogPath(), record)) << agent;
  }

  std::vector<std::string> names = FileNamesIn(folder_);
  ASSERT_EQ(names.size(), 3u);
  const std::regex aside_name(R"(w3c_010203\.\d{8}T\d{6}Z(-2)?\.log)");
  std::string agents_aside;
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    std::vector<std::string> lines = Lines(ReadFile(folder_ / name));
    ASSERT_EQ(lines.size(), 4u);  // each file: its directives and the one record
    EXPECT_EQ(lines[0], "#Software: Delvarin Harborlane version 5.0");
    std::string agent = lines[3].substr(lines[3].rfind(" 10.0.0.5 ") + 10);
    if (name == "w3c_010203.log") {
      EXPECT_EQ(agent, "third 200 0 0");
      continue;
    }
    EXPECT_TRUE(std::regex_match(name, aside_name));
    agents_aside += agent.substr(0, agent.find(' '));
  }
  EXPECT_TRUE(agents_aside == "firstsecond" || agents_aside == "secondfirst") << agents_aside;
}

TEST_F(AccessLogFolder, WriterMovesOnToTheNextDaysFile) {
  SystemTime now = Utc(2001, 2, 3, 23, 59, 59);
  AccessLogWriter writer([&now] { return now; });
  ASSERT_TRUE(writer.Write(LogPath(), SampleRecord()));
  now = Utc(2001, 2, 4, 0, 0, 1);
  ASSERT_TRUE(writer.Write(LogPath(), SampleRecord()));

  std::vector<std::string> first = Lines(ReadFile(folder_ / "w3c_010203.log"));
  std::vector<std::string> second = Lines(ReadFile(folder_ / "w3c_010204.log"));
  ASSERT_EQ(first.size(), 4u);
  ASSERT_EQ(second.size(), 4u);
  EXPECT_EQ(second[1], "#Date: 2001-02-04 00:00:01");
  EXPECT_EQ(second[3].substr(0, 19), "2001-02-04 00:00:01");
}

TEST_F(AccessLogFolder, ControlBytesInAValueCannotForgeALine) {
  SystemTime now = Utc(2026, 12, 7, 8, 0, 0);
  AccessLogWriter writer(FixedClock(now));
  AccessLogRecord record = SampleRecord();
  record.user_agent = "x 200 0 0\r\n2026-12-07 08:00:00 127.0.0.1 GET /forged - 80 - 1.2.3.4 y";
  record.method = "GET\n";
  record.user_name = "eve\r";
  ASSERT_TRUE(writer.Write(LogPath(), record));

  std::string text = ReadFile(DayFile(now));
  std::vector<std::string> lines = Lines(text);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(text.find('\r'), std::string::npos);
  EXPECT_NE(lines[3].find("GET%0A"), std::string::npos);
  EXPECT_NE(lines[3].find(" eve%0D "), std::string::npos);
  EXPECT_NE(lines[3].find("x+200+0+0%0D%0A2026-12-07+08:00:00"), std::string::npos);
}

TEST_F(AccessLogFolder, MissingFolderSkipsTheRecordAndIsTriedAgain) {
  fs::path missing = folder_ / "later";
  SystemTime now = Utc(2026, 12, 7);
  AccessLogWriter writer(FixedClock(now));
  EXPECT_FALSE(writer.Write(missing.string(), SampleRecord()));
  EXPECT_FALSE(fs::exists(missing));

  fs::create_directory(missing);
  EXPECT_TRUE(writer.Write(missing.string(), SampleRecord()));
  EXPECT_EQ(Lines(ReadFile(missing / "w3c_261207.log")).size(), 4u);
}

TEST_F(AccessLogFolder, UnwritablePlacesSkipTheRecord) {
  SystemTime now = Utc(2026, 12, 7);
  AccessLogWriter writer(FixedClock(now));
  // A file where the folder should be.
  std::ofstream(folder_ / "plain").close();
  EXPECT_FALSE(writer.Write((folder_ / "plain").string(), SampleRecord()));
  // A folder where the day file should be.
  fs::create_directory(folder_ / "w3c_261207.log");
  EXPECT_FALSE(writer.Write(LogPath(), SampleRecord()));
  // A path cut short by a NUL byte must not be written at its prefix.
  std::string cut = LogPath() + std::string("/x\0y", 4);
  EXPECT_FALSE(writer.Write(cut, SampleRecord()));
  EXPECT_FALSE(fs::exists(folder_ / "x"));
  EXPECT_FALSE(writer.Write("", SampleRecord()));
  EXPECT_EQ(FileNamesIn(folder_), (std::vector<std::string>{"plain", "w3c_261207.log"}));
}

TEST_F(AccessLogFolder, RecordsOfManyThreadsNeverInterleave) {
  constexpr int kThreads = 8;
  constexpr int kRecords = 150;
  SystemTime now = SameDayNow();
  std::string padding(3000, 'p');
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int r = 0; r < kRecords; ++r) {
        AccessLogWriter writer(FixedClock(now));  // a connection per request: opens every time
        AccessLogRecord record = SampleRecord();
        record.user_agent = "t" + std::to_string(t) + "r" + std::to_string(r) + padding;
        EXPECT_TRUE(writer.Write(LogPath(), record));
      }
    });
  }
  for (auto& thread : threads) thread.join();

  std::vector<std::string> lines = Lines(ReadFile(DayFile(now)));
  ASSERT_EQ(lines.size(), 3u + kThreads * kRecords);
  EXPECT_EQ(lines[0], "#Software: Delvarin Harborlane version 5.0");
  EXPECT_EQ(lines[2], kFieldsLine);
  const std::regex record_line(R"(\S+ \S+ 127\.0\.0\.1 GET /a\+b\.htm x=1 8080 - 10\.0\.0\.5 )"
                               R"(t(\d+)r(\d+)p{3000} 200 0 0)");
  std::set<std::pair<int, int>> seen;
  for (size_t i = 3; i < lines.size(); ++i) {
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[i], match, record_line)) << "line " << i;
    seen.emplace(std::stoi(match[1]), std::stoi(match[2]));
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(kThreads * kRecords));
}

TEST_F(AccessLogFolder, CreationTimeOfAFreshFileIsNow) {
  fs::path path = folder_ / "fresh";
  SystemTime before = std::chrono::system_clock::now();
  int file = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_GE(file, 0);
  std::optional<SystemTime> created = FileCreationTime(file);
  close(file);
  ASSERT_TRUE(created.has_value());
  EXPECT_GE(*created, before - 2s);
  EXPECT_LE(*created, std::chrono::system_clock::now() + 2s);
  EXPECT_FALSE(FileCreationTime(-1).has_value());
}

}  // namespace

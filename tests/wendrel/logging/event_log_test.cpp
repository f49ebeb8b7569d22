// The event log: which entries each LogLevel lets through, the LogMessage event, the length cap
// and the file sink tests read.
#include "wendrel/logging/event_log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

class EventLogFile : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = fs::temp_directory_path() /
            ("wendrel_event_log_" + std::string(info->name()) + "_" + std::to_string(getpid()));
    fs::remove(path_);
    setenv("WENDREL_EVENT_LOG_FILE", path_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("WENDREL_EVENT_LOG_FILE");
    fs::remove(path_);
  }

  std::vector<std::string> Entries() const {
    std::vector<std::string> lines;
    std::ifstream in(path_);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  fs::path path_;
};

TEST_F(EventLogFile, ErrorsAreAlwaysWritten) {
  EventLog::Error("Error opening file /srv/a.htm; error=0x2");
  EventLog::Error("Create SSL session failed (SSL_new)");
  EXPECT_EQ(Entries(), (std::vector<std::string>{"ERROR Error opening file /srv/a.htm; error=0x2",
                                                 "ERROR Create SSL session failed (SSL_new)"}));
}

TEST_F(EventLogFile, StartAndStopEntriesOnlyAtLevelTwo) {
  struct Case {
    int16_t log_level;
    bool written;
  } cases[] = {{0, false}, {1, false}, {2, true}, {3, false}, {-1, false}, {258, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.log_level);
    fs::remove(path_);
    EXPECT_EQ(InformationEntriesWanted(c.log_level), c.written);
    EventLog::Information(c.log_level, "*** SERVER STARTED ***");
    EventLog::Information(c.log_level, "*** SERVER STOP ***");
    std::vector<std::string> expected;
    if (c.written) expected = {"INFORMATION *** SERVER STARTED ***", "INFORMATION *** SERVER STOP ***"};
    EXPECT_EQ(Entries(), expected);
  }
}

TEST_F(EventLogFile, LogMessageIsWrittenEvenAtLevelZero) {
  // A log message carries no level: the caller writes it whatever LogLevel is.
  EventLog::LogMessage("order 17 shipped", {});
  EXPECT_EQ(Entries(), (std::vector<std::string>{"LOG order 17 shipped"}));
}

TEST_F(EventLogFile, EventHandlerSeesTheTextAndMayCancel) {
  std::vector<std::string> raised;
  EventLog::LogMessage("kept", [&](std::string_view text) {
    raised.emplace_back(text);
    return true;
  });
  EventLog::LogMessage("cancelled", [&](std::string_view text) {
    raised.emplace_back(text);
    return false;
  });
  EXPECT_EQ(raised, (std::vector<std::string>{"kept", "cancelled"}));
  EXPECT_EQ(Entries(), (std::vector<std::string>{"LOG kept"}));
}

TEST_F(EventLogFile, ErrorAndInformationAreCutAt2000Bytes) {
  std::string long_text(2500, 'e');
  EventLog::Error(long_text);
  EventLog::Information(2, long_text);
  EventLog::LogMessage(long_text, {});
  std::vector<std::string> entries = Entries();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0], "ERROR " + std::string(2000, 'e'));
  EXPECT_EQ(entries[1], "INFORMATION " + std::string(2000, 'e'));
  EXPECT_EQ(entries[2], "LOG " + long_text);
}

TEST_F(EventLogFile, EntryWithLineBreaksStaysOneLine) {
  EventLog::Error("Can't bind\r\n98 - in use\tnow\x01");
  EventLog::LogMessage("line one\nERROR forged", {});
  EXPECT_EQ(Entries(), (std::vector<std::string>{"ERROR Can't bind\\r\\n98 - in use\\tnow\\x01",
                                                 "LOG line one\\nERROR forged"}));
}

}  // namespace

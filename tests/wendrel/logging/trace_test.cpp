// The debug trace: scope lines, message lines, indentation by depth, the depth reset and the
// length cap.
#include "wendrel/logging/trace.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

class TraceFile : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = fs::temp_directory_path() /
            ("wendrel_trace_" + std::string(info->name()) + "_" + std::to_string(getpid()));
    fs::remove(path_);
    ResetTraceDepth();
    SetTraceTarget(path_.string());
  }
  void TearDown() override {
    SetTraceTarget("");
    ResetTraceDepth();
    fs::remove(path_);
  }

  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    std::ifstream in(path_);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  fs::path path_;
};

TEST_F(TraceFile, ScopesAndMessagesIndentTwoSpacesPerLevel) {
  {
    TraceScope outer("CHTTPServer::StopPool");
    TraceFormatted("Stopping thread %i...", 0);
    {
      TraceScope inner("Inner");
      EXPECT_EQ(TraceDepth(), 2);
      TraceMessage("deep");
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    TraceMessage("Clearing up the pool");
  }
  EXPECT_EQ(TraceDepth(), 0);

  std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0], "==> CHTTPServer::StopPool");
  EXPECT_EQ(lines[1], "  Wendrel::Stopping thread 0...");
  EXPECT_EQ(lines[2], "  ==> Inner");
  EXPECT_EQ(lines[3], "    Wendrel::deep");
  std::smatch spent;
  ASSERT_TRUE(std::regex_match(lines[4], spent, std::regex(R"(  <== Inner \((\d+)\))")));
  EXPECT_GE(std::stoi(spent[1]), 30);
  EXPECT_EQ(lines[5], "  Wendrel::Clearing up the pool");
  EXPECT_TRUE(std::regex_match(lines[6], std::regex(R"(<== CHTTPServer::StopPool \(\d+\))")));
}

TEST_F(TraceFile, MessagesAreCutAt1014Bytes) {
  std::string long_text(1100, 'm');
  TraceMessage(long_text);
  TraceFormatted("%s", long_text.c_str());
  std::string expected = "Wendrel::" + std::string(1014, 'm');
  EXPECT_EQ(Lines(), (std::vector<std::string>{expected, expected}));
}

TEST_F(TraceFile, DepthResetStartsAgainAtTheLeftMargin) {
  {
    TraceScope first("First");
    TraceScope second("Second");
    ResetTraceDepth();
    TraceMessage("after reset");
  }
  EXPECT_EQ(TraceDepth(), 0);  // leaving the open scopes does not go below 0
  TraceScope third("Third");
  TraceMessage("inside third");

  std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[1], "  ==> Second");
  EXPECT_EQ(lines[2], "Wendrel::after reset");
  EXPECT_EQ(lines[3].substr(0, 11), "<== Second ");
  EXPECT_EQ(lines[4].substr(0, 10), "<== First ");
  EXPECT_EQ(lines[5], "==> Third");
  EXPECT_EQ(lines[6], "  Wendrel::inside third");
}

TEST_F(TraceFile, SwitchedOffWritesNothingButKeepsTheDepth) {
  SetTraceTarget("");
  EXPECT_FALSE(TraceEnabled());
  {
    TraceScope scope("Quiet");
    TraceMessage("unseen");
    SetTraceTarget(path_.string());
    EXPECT_TRUE(TraceEnabled());
    TraceMessage("seen");
  }
  EXPECT_EQ(Lines().size(), 2u);
  EXPECT_EQ(Lines()[0], "  Wendrel::seen");
  EXPECT_EQ(Lines()[1].substr(0, 10), "<== Quiet ");
}

TEST_F(TraceFile, FormerScopeAndTextFormStillWrites) {
  TraceScope scope("Outer");
  Trace("CHTTPServer::StopPool", "Clearing up the pool");
  std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], "  CHTTPServer::StopPool: Clearing up the pool");
}

}  // namespace

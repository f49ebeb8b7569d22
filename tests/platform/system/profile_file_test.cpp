#include "platform/system/profile_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/file_bytes.h"

namespace {

namespace fs = std::filesystem;

using test_support::HresultOf;
using test_support::ReadBytes;
using test_support::WriteBytes;

class ProfileFileOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "profile-XXXXXX").string();
    folder_ = mkdtemp(pattern.data());
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  std::string PathOf(const std::string& name) const { return folder_ + "/" + name; }
  std::vector<std::string> FolderEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_)) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

  std::string folder_;
};

// ---------------------------------------------------------------------------------------------
// Reading

TEST(ProfileRead, FindsValuesByTheProfileRules) {
  struct Case {
    const char* rule;
    std::string text;
    const char* section;
    const char* key;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"names ignore case", "[Web Server]\r\nPort=8080\r\n", "WEB SERVER", "port", "8080"},
      {"ANSI letters ignore case", "[\xDC" "ber]\nK\xCBy=1\n", "\xFC" "ber", "k\xEBY", "1"},
      {"first section wins", "[S]\nA=1\n[s]\nA=4\nC=5\n", "S", "C", std::nullopt},
      {"first key wins", "[S]\nA=1\nA=2\n", "S", "a", "1"},
      {"spaces dropped", "  [ My Sec ]  \n \t Key \t=  some value \t\n", "My Sec", "Key",
       "some value"},
      {"double quotes removed", "[S]\nA=\"x y\"\n", "S", "A", "x y"},
      {"single quotes removed", "[S]\nA='z'\n", "S", "A", "z"},
      {"unmatched quotes kept", "[S]\nA=\"u'\n", "S", "A", "\"u'"},
      {"lone quote kept", "[S]\nA=\"\n", "S", "A", "\""},
      {"one pair only", "[S]\nA=\"\"q\"\"\n", "S", "A", "\"q\""},
      {"later equals signs kept", "[S]\na=b=c\n", "S", "a", "b=c"},
      {"no equals, no key", "[S]\nKey\n", "S", "Key", std::nullopt},
      {"CR LF line", "[S]\r\nA=1\r\nB=2\nC=3", "S", "A", "1"},
      {"LF line", "[S]\r\nA=1\r\nB=2\nC=3", "S", "B", "2"},
      {"unterminated last line", "[S]\r\nA=1\r\nB=2\nC=3", "S", "C", "3"},
      {"comment is no key", "[S]\n;Port=1\nPort=2\n", "S", "Port", "2"},
      {"comment is no section", "[S]\n  ;[T]\nPort=2\n", "T", "Port", std::nullopt},
      {"no section before the first", "Port=1\n[S]\nOther=2\n", "S", "Port", std::nullopt},
      {"unclosed header is a line", "[S]\n[T\nA=1\n", "S", "A", "1"},
      {"unclosed header starts nothing", "[S]\n[T\nA=1\n", "T", "A", std::nullopt},
      {"header runs to the last ]", "[a]b]\nK=1\n", "a]b", "K", "1"},
      {"byte order mark skipped", "\xEF\xBB\xBF[S]\nA=1\n", "S", "A", "1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rule);
    EXPECT_EQ(ProfileFile(c.text).FindString(c.section, c.key), c.expected);
  }
}

TEST(ProfileRead, MissingSectionOrKeyGivesTheDefault) {
  ProfileFile file("[S]\nA=1\n");
  EXPECT_EQ(file.ReadString("S", "B", "dflt"), "dflt");
  EXPECT_EQ(file.ReadString("T", "A", "dflt"), "dflt");
  EXPECT_EQ(file.ReadString("S", "A", "dflt"), "1");
  EXPECT_EQ(ProfileFile().ReadString("S", "A", "x"), "x");
}

TEST(ProfileRead, UnclosedHeaderIsALineOfTheSection) {
  EXPECT_EQ(ProfileFile("[S]\n[T\nA=1\n").ReadSection("S").lines,
            (std::vector<std::string>{"[T", "A=1"}));
}

TEST(ProfileRead, IntegerIsTheLeadingDecimalNumber) {
  struct Case {
    const char* line;
    int32_t expected;
  };
  const Case cases[] = {
      {"N=123", 123},          {"N=-1", -1},
      {"N= +7", 7},            {"N=12abc", 12},
      {"N=abc", 0},            {"N=0x10", 0},
      {"N=\"42\"", 42},        {"N=2147483647", INT32_MAX},
      {"N=99999999999", INT32_MAX}, {"N=-2147483648", INT32_MIN},
      {"N=-99999999999", INT32_MIN}, {"N=", 55},
      {"M=1", 55},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(ProfileFile(std::string("[S]\n") + c.line + "\n").ReadInt("S", "N", 55), c.expected);
  }
}

TEST(ProfileRead, SectionGivesKeyLinesTrimmedWithoutCommentsOrBlanks) {
  ProfileFile file("[L]\n a = 1 \n\n;note\nbare\n=x\nk=v=w\n[M]\nz=9\n");
  EXPECT_EQ(file.ReadSection("l").lines,
            (std::vector<std::string>{"a=1", "bare", "=x", "k=v=w"}));
  EXPECT_FALSE(file.ReadSection("l").truncated);
  EXPECT_TRUE(file.ReadSection("missing").lines.empty());
}

TEST(ProfileRead, SectionStopsWithTheLastLineThatFits) {
  ProfileFile file("[L]\nab=1\ncd=2\n");  // 4 + 1 bytes each, plus the final terminator
  EXPECT_EQ(file.ReadSection("L", 11).lines.size(), 2u);
  EXPECT_FALSE(file.ReadSection("L", 11).truncated);
  ProfileSection short_of_one = file.ReadSection("L", 10);
  EXPECT_EQ(short_of_one.lines, std::vector<std::string>{"ab=1"});
  EXPECT_TRUE(short_of_one.truncated);
}

TEST(ProfileRead, SectionHasRoomFor16381BytesByDefault) {
  std::string text = "[L]\n";
  for (int i = 0; i < 1500; ++i) {
    char line[16];
    snprintf(line, sizeof line, "k%04d=vvvv\n", i);  // 10 bytes and a terminator
    text += line;
  }
  ProfileSection section = ProfileFile(text).ReadSection("L");
  EXPECT_EQ(section.lines.size(), (kMaxProfileSectionBytes - 1) / 11);
  EXPECT_TRUE(section.truncated);
}

TEST(ProfileRead, LinesOfAnyLengthAreRead) {
  std::string value(1 << 20, 'x');
  ProfileFile file("[S]\nLong=" + value + "\nAfter=1\n");
  EXPECT_EQ(file.FindString("S", "Long"), value);
  EXPECT_EQ(file.FindString("S", "After"), "1");
}

TEST(ProfileRead, BytesThatAreNotTextReadAndWriteSafely) {
  std::string noise;
  uint32_t state = 12345;
  for (int i = 0; i < 20000; ++i) {
    state = state * 1103515245u + 12345u;
    noise.push_back(static_cast<char>(state >> 16));
  }
  noise += std::string("\0[\n]\r=;[", 8);
  ProfileFile file(noise);
  (void)file.FindString("S", "A");
  (void)file.ReadSection("S");
  ASSERT_TRUE(file.WriteString("Fresh", "Key", "value").ok());
  EXPECT_EQ(file.FindString("Fresh", "Key"), "value");
  EXPECT_EQ(file.text().substr(0, noise.size()), noise);
}

// ---------------------------------------------------------------------------------------------
// Writing in memory

TEST(ProfileWrite, ReplacesTheValueInPlaceKeepingTheKeySpelling) {
  ProfileFile file("; head\r\n[S]\r\nport = 80\r\nOther=1\r\n\r\n[T]\r\nX=1\r\n");
  ASSERT_TRUE(file.WriteString("s", "PORT", "81").ok());
  EXPECT_EQ(file.text(), "; head\r\n[S]\r\nport=81\r\nOther=1\r\n\r\n[T]\r\nX=1\r\n");
}

TEST(ProfileWrite, NewKeyFollowsTheSectionsLastLine) {
  ProfileFile file("[S]\r\nA=1\r\n; trailing note\r\n\r\n[T]\r\nX=1\r\n");
  ASSERT_TRUE(file.WriteString("S", "New", "v").ok());
  EXPECT_EQ(file.text(), "[S]\r\nA=1\r\n; trailing note\r\nNew=v\r\n\r\n[T]\r\nX=1\r\n");
}

TEST(ProfileWrite, NewSectionIsAppendedAfterABlankLine) {
  ProfileFile file("[S]\r\nA=1");
  ASSERT_TRUE(file.WriteString("T", "B", "2").ok());
  EXPECT_EQ(file.text(), "[S]\r\nA=1\r\n\r\n[T]\r\nB=2\r\n");
  ProfileFile empty;
  ASSERT_TRUE(empty.WriteString("S", "K", "V").ok());
  EXPECT_EQ(empty.text(), "[S]\r\nK=V\r\n");
}

TEST(ProfileWrite, KeyUnderAnUnterminatedHeader) {
  ProfileFile file("[S]");
  ASSERT_TRUE(file.WriteString("S", "A", "1").ok());
  EXPECT_EQ(file.text(), "[S]\r\nA=1\r\n");
}

TEST(ProfileWrite, WrittenValueReadsBack) {
  ProfileFile file;
  ASSERT_TRUE(file.WriteString("S", "Path", "C:\\dir=x;y").ok());
  EXPECT_EQ(file.FindString("S", "Path"), "C:\\dir=x;y");
}

TEST(ProfileWrite, RefusesWhatTheFormatCannotHold) {
  struct Case {
    std::string section, key, value;
  };
  const Case cases[] = {
      {"", "K", "v"},        {"S", "", "v"},         {"S", "a=b", "v"},
      {"S", ";k", "v"},      {"S", "[k", "v"},       {"S", " k", "v"},
      {"S ", "k", "v"},      {"a\nb", "k", "v"},     {"S", "k\r", "v"},
      {"S", "k", "a\r\n[X]"}, {"S", "k", std::string("a\0b", 3)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.section + "|" + c.key + "|" + c.value);
    ProfileFile file("[S]\r\nk=old\r\n");
    EXPECT_EQ(HresultOf(file.WriteString(c.section, c.key, c.value)), kProfileInvalidName);
    EXPECT_EQ(file.text(), "[S]\r\nk=old\r\n");
  }
}

TEST(ProfileWrite, ClearSectionRemovesKeysButKeepsCommentsAndOtherSections) {
  ProfileFile file("[L]\r\na=1\r\n;note\r\nbare\r\n\r\n[M]\r\nz=9\r\n");
  file.ClearSection("l");
  EXPECT_EQ(file.text(), "[L]\r\n;note\r\n\r\n[M]\r\nz=9\r\n");
  file.ClearSection("missing");
  EXPECT_EQ(file.text(), "[L]\r\n;note\r\n\r\n[M]\r\nz=9\r\n");
}

// ---------------------------------------------------------------------------------------------
// Files

TEST_F(ProfileFileOnDisk, WriteCreatesTheFileSectionAndKey) {
  std::string path = PathOf("new.ini");
  ASSERT_TRUE(WriteProfileString(path, "S", "K", "V").ok());
  EXPECT_EQ(ReadBytes(path), "[S]\r\nK=V\r\n");
  ASSERT_TRUE(WriteProfileString(path, "S", "K", "W").ok());
  ASSERT_TRUE(WriteProfileString(path, "T", "A", "1").ok());
  EXPECT_EQ(ReadBytes(path), "[S]\r\nK=W\r\n\r\n[T]\r\nA=1\r\n");
}

TEST_F(ProfileFileOnDisk, WriteKeepsCommentsOrderAndEndsLinesWithCrLf) {
  std::string path = PathOf("keep.ini");
  WriteBytes(path, "; settings\n[B]\nx=1\n[A]\ny=2\n");
  ASSERT_TRUE(WriteProfileString(path, "A", "y", "3").ok());
  EXPECT_EQ(ReadBytes(path), "; settings\r\n[B]\r\nx=1\r\n[A]\r\ny=3\r\n");
}

TEST_F(ProfileFileOnDisk, ReadsOfAMissingFileGiveDefaults) {
  std::string path = PathOf("absent.ini");
  EXPECT_EQ(ReadProfileString(path, "S", "K", "d").value(), "d");
  EXPECT_EQ(ReadProfileInt(path, "S", "K", 7).value(), 7);
  EXPECT_TRUE(ReadProfileSection(path, "S").value().lines.empty());
  EXPECT_EQ(HresultOf(ProfileFile::Load(path)), kProfileFileNotFound);
  EXPECT_FALSE(fs::exists(path));
}

TEST_F(ProfileFileOnDisk, ReadsThroughThePathFunctions) {
  std::string path = PathOf("read.ini");
  WriteBytes(path, "[S]\r\nName=text\r\nN=12\r\n");
  EXPECT_EQ(ReadProfileString(path, "s", "name", "").value(), "text");
  EXPECT_EQ(ReadProfileInt(path, "S", "N", 0).value(), 12);
  EXPECT_EQ(ReadProfileSection(path, "S").value().lines,
            (std::vector<std::string>{"Name=text", "N=12"}));
}

TEST_F(ProfileFileOnDisk, FileAboveTheLimitFailsAndOneAtTheLimitLoads) {
  std::string at_limit = PathOf("limit.ini");
  std::string above = PathOf("above.ini");
  WriteBytes(at_limit, "[S]\nA=1\n");
  WriteBytes(above, "[S]\nA=1\n");
  fs::resize_file(at_limit, kMaxProfileFileBytes);
  fs::resize_file(above, kMaxProfileFileBytes + 1);
  Result<ProfileFile> loaded = ProfileFile::Load(at_limit);
  ASSERT_TRUE(loaded.ok());
  EXPECT_EQ(loaded.value().FindString("S", "A"), "1");
  EXPECT_EQ(HresultOf(ProfileFile::Load(above)), kProfileFileTooLarge);
  EXPECT_EQ(HresultOf(ReadProfileString(above, "S", "A", "")), kProfileFileTooLarge);
  EXPECT_EQ(HresultOf(WriteProfileString(above, "S", "A", "2")), kProfileFileTooLarge);
  EXPECT_EQ(fs::file_size(above), kMaxProfileFileBytes + 1);
}

TEST_F(ProfileFileOnDisk, FolderAndFifoAreNotProfileFiles) {
  std::string fifo = PathOf("pipe.ini");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(HresultOf(ProfileFile::Load(fifo)), E_FAIL);  // and returns without a writer
  EXPECT_EQ(HresultOf(ProfileFile::Load(folder_)), E_FAIL);
}

TEST_F(ProfileFileOnDisk, SaveIntoAMissingFolderFails) {
  EXPECT_EQ(HresultOf(WriteProfileString(PathOf("no/such/dir.ini"), "S", "K", "V")),
            kProfileFileNotFound);
  EXPECT_FALSE(ProfileFile().Save("").ok());
}

TEST_F(ProfileFileOnDisk, FailedSaveLeavesNoTemporaryFileBehind) {
  std::string target = PathOf("folder.ini");
  fs::create_directory(target);
  ProfileFile file("[S]\r\nA=1\r\n");
  EXPECT_FALSE(file.Save(target).ok());
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"folder.ini"});
}

TEST_F(ProfileFileOnDisk, WriteThatCannotCompleteLeavesTheOldFile) {
  std::string path = PathOf("old.ini");
  WriteBytes(path, "[S]\r\nA=1\r\n");
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct rlimit small = saved;
  small.rlim_cur = 64;  // bytes a file may grow to
  auto old_handler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  Result<void> written = WriteProfileString(path, "S", "B", std::string(200, 'v'));
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, old_handler);
  EXPECT_EQ(HresultOf(written), kProfileFileTooLarge);
  EXPECT_EQ(ReadBytes(path), "[S]\r\nA=1\r\n");
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"old.ini"});
}

TEST_F(ProfileFileOnDisk, SaveKeepsTheFilePermissions) {
  std::string path = PathOf("mode.ini");
  WriteBytes(path, "[S]\r\n");
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  ASSERT_TRUE(WriteProfileString(path, "S", "A", "1").ok());
  struct stat status;
  ASSERT_EQ(stat(path.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0640u);
}

TEST_F(ProfileFileOnDisk, SaveThroughASymbolicLinkReplacesItsTarget) {
  std::string target = PathOf("target.ini");
  std::string link = PathOf("link.ini");
  WriteBytes(target, "[S]\r\nA=1\r\n");
  fs::create_symlink(target, link);
  ASSERT_TRUE(WriteProfileString(link, "S", "A", "2").ok());
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadBytes(target), "[S]\r\nA=2\r\n");
}

TEST_F(ProfileFileOnDisk, WritesFromSeveralThreadsAreAllKept) {
  std::string path = PathOf("threads.ini");
  constexpr int kThreads = 4;
  constexpr int kKeysEach = 10;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int k = 0; k < kKeysEach; ++k) {
        std::string key = "T" + std::to_string(t) + "K" + std::to_string(k);
        EXPECT_TRUE(WriteProfileString(path, "S", key, "v").ok());
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(ReadProfileSection(path, "S").value().lines.size(),
            static_cast<size_t>(kThreads * kKeysEach));
}

}  // namespace

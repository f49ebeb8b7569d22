#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/automation/conversion.h"
#include "platform/automation/dispatch_call.h"
#include "platform/scriptruntime/file_paths.h"
#include "platform/scriptruntime/file_system_object.h"
#include "platform/scriptruntime/text_stream.h"
#include "platform/system/code_page.h"
#include "tests/support/file_bytes.h"

namespace {

TEST(FilePathsTest, NamesAreTakenApartAsText) {
  struct Case {
    std::u16string_view path;
    std::u16string_view file, base, extension, parent;
  };
  const Case kCases[] = {
      {u"/srv/site/report.asp", u"report.asp", u"report", u"asp", u"/srv/site"},
      {u"C:\\data\\sales.tar.gz", u"sales.tar.gz", u"sales.tar", u"gz", u"C:/data"},
      {u"folder\\", u"folder", u"folder", u"", u""},
      {u"/top", u"top", u"top", u"", u"/"},
      {u"/", u"", u"", u"", u""},
      {u"name", u"name", u"name", u"", u""},
      {u".hidden", u".hidden", u"", u"hidden", u""},
      {u"a//b///", u"b", u"b", u"", u"a"},
      {u"", u"", u"", u"", u""},
  };
  for (const Case& test : kCases) {
    SCOPED_TRACE(TextToBytes(test.path, CP_UTF8));
    EXPECT_EQ(LastComponent(test.path), test.file);
    EXPECT_EQ(BaseName(test.path), test.base);
    EXPECT_EQ(ExtensionName(test.path), test.extension);
    EXPECT_EQ(ParentFolderName(test.path), test.parent);
  }
}

TEST(FilePathsTest, JoinAddsOneSeparator) {
  EXPECT_EQ(JoinPath(u"/a", u"b"), u"/a/b");
  EXPECT_EQ(JoinPath(u"/a/", u"b"), u"/a/b");
  EXPECT_EQ(JoinPath(u"c:\\a\\", u"b"), u"c:\\a\\b");
  EXPECT_EQ(JoinPath(u"/a", u"\\b"), u"/a\\b");
  EXPECT_EQ(JoinPath(u"", u"b"), u"b");
}

TEST(FilePathsTest, AbsolutePathsResolveDotsAsText) {
  EXPECT_EQ(AbsolutePath(u"x/./y/../z", u"/base"), u"/base/x/z");
  EXPECT_EQ(AbsolutePath(u"\\abs\\..\\..\\..\\etc", u"/base"), u"/etc");
  EXPECT_EQ(AbsolutePath(u"", u"/base/"), u"/base");
  EXPECT_EQ(AbsolutePath(u"..", u"/"), u"/");
}

TEST(FilePathsTest, ErrnoBecomesThePlatformNumber) {
  std::string folder = (std::filesystem::temp_directory_path()).string();
  std::u16string present = BytesToText(folder + "/missing-file", CP_UTF8);
  std::u16string absent_parent = u"/no/such/folder/file";
  EXPECT_EQ(FileSystemError(ENOENT, present, PathKind::File).Number(), 53);
  EXPECT_EQ(FileSystemError(ENOENT, absent_parent, PathKind::File).Number(), 76);
  EXPECT_EQ(FileSystemError(ENOENT, present, PathKind::Folder).Number(), 76);
  EXPECT_EQ(FileSystemError(EEXIST, present, PathKind::File).Number(), 58);
  EXPECT_EQ(FileSystemError(EACCES, present, PathKind::File).Number(), 70);
  EXPECT_EQ(FileSystemError(EROFS, present, PathKind::Folder).Number(), 70);
  EXPECT_EQ(FileSystemError(ENOSPC, present, PathKind::File).Number(), 61);
  EXPECT_EQ(FileSystemError(EIO, present, PathKind::File).Number(), 75);
}

class TextStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "text-stream-XXXXXX").string();
    folder_ = mkdtemp(pattern.data());
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  // Opens `bytes` written to a file through OpenTextFile with a format.
  ComPtr<IDispatch> OpenWith(std::string_view bytes, int32_t format) {
    std::string path = folder_ + "/input.txt";
    test_support::WriteBytes(path, bytes);
    std::vector<Variant> arguments = {Variant::FromString(BytesToText(path, CP_UTF8)),
                                      Variant::FromI4(1), Variant::FromBool(false),
                                      Variant::FromI4(format)};
    std::vector<VARIANT> raw(arguments.begin(), arguments.end());
    Result<Variant> stream = CallMember(fso_.get(), u"OpenTextFile", raw);
    EXPECT_TRUE(stream.ok());
    return stream.ok() ? ComPtr<IDispatch>(stream.value().pdispVal) : ComPtr<IDispatch>();
  }
  std::vector<std::u16string> Lines(IDispatch* stream) {
    std::vector<std::u16string> lines;
    for (int guard = 0; guard < 100000 && !ToBool(CallMember(stream, u"AtEndOfStream").value()).value(); ++guard) {
      lines.emplace_back(CallMember(stream, u"ReadLine").value().StringView());
    }
    return lines;
  }

  ComPtr<FileSystemObject> fso_ = MakeObject<FileSystemObject>();
  std::string folder_;
};

TEST_F(TextStreamTest, CharactersCutByAPieceBoundaryStayWhole) {
  // The mark and 65532 letters, then 'é' (two bytes in UTF-8) across the 64 KiB piece boundary;
  // the second piece ends in a CR whose LF starts the third.
  std::string bytes = "\xEF\xBB\xBF" + std::string(65532, 'a') + "\xC3\xA9" + "\r";
  bytes += std::string(65533, 'b');
  bytes += "\r\nend";
  ComPtr<IDispatch> stream = OpenWith(bytes, -2);
  std::vector<std::u16string> lines = Lines(stream.get());
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], std::u16string(65532, u'a') + u"\u00E9");
  EXPECT_EQ(lines[1], std::u16string(65533, u'b'));
  EXPECT_EQ(lines[2], u"end");
}

TEST_F(TextStreamTest, UseDefaultTellsEncodingsByTheirMark) {
  struct Case {
    std::string bytes;
    std::u16string text;
  };
  const Case kCases[] = {
      {std::string("\xFF\xFE" "h\0i\0", 6), u"hi"},
      {"\xEF\xBB\xBF" "h\xC3\xA9", u"h\u00E9"},
      {"h\xE9", u"h\u00E9"},  // no mark: ANSI
      {"\xFF", u"\u00FF"},    // too short for a mark
  };
  for (const Case& test : kCases) {
    ComPtr<IDispatch> stream = OpenWith(test.bytes, -2);
    EXPECT_EQ(CallMember(stream.get(), u"ReadAll").value().StringView(), test.text);
  }
}

TEST_F(TextStreamTest, AnsiFormatReadsAMarkAsText) {
  ComPtr<IDispatch> stream = OpenWith("\xEF\xBB\xBFx", 0);
  EXPECT_EQ(CallMember(stream.get(), u"ReadAll").value().StringView(), u"\u00EF\u00BB\u00BFx");
}

TEST_F(TextStreamTest, ReadingAtTheEndIsInputPastEndOfFile) {
  ComPtr<IDispatch> stream = OpenWith("", 0);
  EXPECT_TRUE(ToBool(CallMember(stream.get(), u"AtEndOfStream").value()).value());
  Result<Variant> all = CallMember(stream.get(), u"ReadAll");
  ASSERT_FALSE(all.ok());
  EXPECT_EQ(all.error().Number(), 62);
}

TEST_F(TextStreamTest, ReadAllPastTheLimitFailsInsteadOfExhaustingMemory) {
  std::string path = folder_ + "/huge.txt";
  {
    // A sparse file a little past the limit: no disk is used for the zero bytes.
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(ftruncate(fileno(file), static_cast<off_t>(kMaxReadCharacters + 1024)), 0);
    std::fclose(file);
  }
  std::vector<Variant> arguments = {Variant::FromString(BytesToText(path, CP_UTF8))};
  std::vector<VARIANT> raw(arguments.begin(), arguments.end());
  ComPtr<IDispatch> stream(CallMember(fso_.get(), u"OpenTextFile", raw).value().pdispVal);
  Result<Variant> all = CallMember(stream.get(), u"ReadAll");
  ASSERT_FALSE(all.ok());
  EXPECT_EQ(all.error().Number(), 14);
  EXPECT_NE(all.error().Description().find(u"33554432"), std::u16string::npos);
}

TEST_F(TextStreamTest, LineAndColumnFollowWhatWasRead) {
  ComPtr<IDispatch> stream = OpenWith("ab\r\ncd", 0);
  Variant two = Variant::FromI4(2);
  const VARIANT count[] = {two};
  EXPECT_EQ(CallMember(stream.get(), u"Read", count).value().StringView(), u"ab");
  EXPECT_EQ(ToInt32(CallMember(stream.get(), u"Column").value()).value(), 3);
  EXPECT_TRUE(ToBool(CallMember(stream.get(), u"AtEndOfLine").value()).value());
  ASSERT_TRUE(CallMember(stream.get(), u"SkipLine").ok());
  EXPECT_EQ(ToInt32(CallMember(stream.get(), u"Line").value()).value(), 2);
  EXPECT_EQ(ToInt32(CallMember(stream.get(), u"Column").value()).value(), 1);
}

TEST_F(TextStreamTest, BadPathsAreRefused) {
  const std::u16string kPaths[] = {u"", std::u16string(u"a\0b", 3), std::u16string(5000, u'x')};
  for (const std::u16string& path : kPaths) {
    Variant argument = Variant::FromString(path);
    const VARIANT arguments[] = {argument};
    Result<Variant> stream = CallMember(fso_.get(), u"OpenTextFile", arguments);
    ASSERT_FALSE(stream.ok());
    EXPECT_EQ(stream.error().Number(), 52);
    EXPECT_FALSE(ToBool(CallMember(fso_.get(), u"FileExists", arguments).value()).value());
  }
}

}  // namespace

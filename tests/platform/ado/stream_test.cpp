#include "platform/ado/stream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "platform/automation/conversion.h"
#include "platform/automation/dispatch_call.h"
#include "platform/automation/safearray.h"
#include "tests/support/file_bytes.h"

namespace {

class AdoStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "stream-XXXXXX").string();
    folder_ = mkdtemp(pattern.data());
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  Result<Variant> Run(std::u16string_view name, std::vector<Variant> arguments = {}) {
    std::vector<VARIANT> raw(arguments.begin(), arguments.end());
    return CallMember(stream_.get(), name, raw);
  }
  Variant Call(std::u16string_view name, std::vector<Variant> arguments = {}) {
    Result<Variant> result = Run(name, std::move(arguments));
    EXPECT_TRUE(result.ok()) << TextToBytesForTrace(name);
    return result.ok() ? std::move(result).value() : Variant();
  }
  static std::string TextToBytesForTrace(std::u16string_view text) { return std::string(text.begin(), text.end()); }
  void Put(std::u16string_view name, const Variant& value) {
    ASSERT_TRUE(PutMember(stream_.get(), name, {}, value).ok());
  }
  std::u16string File(std::string_view name) const {
    std::string path = folder_ + "/" + std::string(name);
    return std::u16string(path.begin(), path.end());
  }

  ComPtr<Stream> stream_ = MakeObject<Stream>();
  std::string folder_;
};

Variant Bytes(std::string_view bytes) {
  SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<uint32_t>(bytes.size()));
  std::copy(bytes.begin(), bytes.end(), static_cast<char*>(array->pvData));
  return Variant::FromArray(VT_UI1, array);
}

std::string ArrayBytes(const Variant& value) {
  if (value.vt != (VT_ARRAY | VT_UI1)) return "<not bytes>";
  return std::string(static_cast<const char*>(value.parray->pvData), SafeArrayElementCount(value.parray));
}

TEST_F(AdoStreamTest, TextInEachCharsetRoundTripsThroughAFile) {
  struct Case {
    std::u16string_view charset;
    std::string_view file_bytes;
  };
  const Case kCases[] = {
      {u"Unicode", std::string_view("\xFF\xFE" "a\0\xE9\0\r\0\n\0", 10)},
      {u"utf-8", "\xEF\xBB\xBF" "a\xC3\xA9\r\n"},
      {u"windows-1252", "a\xE9\r\n"},
  };
  for (const Case& test : kCases) {
    SCOPED_TRACE(TextToBytesForTrace(test.charset));
    stream_ = MakeObject<Stream>();
    Put(u"Charset", Variant::FromString(test.charset));
    Call(u"Open");
    Call(u"WriteText", {Variant::FromString(u"a\u00E9"), Variant::FromI4(1)});
    std::u16string path = File("text.txt");
    Call(u"SaveToFile", {Variant::FromString(path), Variant::FromI4(2)});
    EXPECT_EQ(test_support::ReadBytes(folder_ + "/text.txt"), test.file_bytes);
    Call(u"Close");
    Call(u"Open");
    Call(u"LoadFromFile", {Variant::FromString(path)});
    EXPECT_EQ(Call(u"ReadText", {Variant::FromI4(-2)}).StringView(), u"a\u00E9");
    EXPECT_TRUE(ToBool(Call(u"EOS")).value());
  }
}

TEST_F(AdoStreamTest, ReadTextCountsCharactersNotBytes) {
  Put(u"Charset", Variant::FromString(u"utf-8"));
  Call(u"Open");
  Call(u"WriteText", {Variant::FromString(u"h\u00E9llo")});
  EXPECT_EQ(ToInt32(Call(u"Size")).value(), 9);  // the mark, then 'é' in two bytes
  Put(u"Position", Variant::FromI4(0));
  EXPECT_EQ(Call(u"ReadText", {Variant::FromI4(2)}).StringView(), u"h\u00E9");
  EXPECT_EQ(ToInt32(Call(u"Position")).value(), 6);
  EXPECT_EQ(Call(u"ReadText").StringView(), u"llo");
}

TEST_F(AdoStreamTest, BinaryStreamsReadAndWriteByteArrays) {
  Put(u"Type", Variant::FromI4(1));
  Call(u"Open");
  Call(u"Write", {Bytes(std::string_view("\x00\x01\xFF", 3))});
  EXPECT_EQ(ToInt32(Call(u"Size")).value(), 3);
  Put(u"Position", Variant::FromI4(1));
  EXPECT_EQ(ArrayBytes(Call(u"Read", {Variant::FromI4(5)})), std::string_view("\x01\xFF", 2));
  EXPECT_EQ(Call(u"Read").vt, VT_NULL);  // nothing left
  Result<Variant> text = Run(u"ReadText");
  ASSERT_FALSE(text.ok());
  EXPECT_EQ(text.error().Number(), 3219);
}

TEST_F(AdoStreamTest, SaveToFileRefusesToOverwriteUnlessAsked) {
  test_support::WriteBytes(folder_ + "/exists.bin", "old");
  Put(u"Type", Variant::FromI4(1));
  Call(u"Open");
  Call(u"Write", {Bytes("new")});
  Result<Variant> refused = Run(u"SaveToFile", {Variant::FromString(File("exists.bin"))});
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error().Number(), 3004);
  EXPECT_EQ(test_support::ReadBytes(folder_ + "/exists.bin"), "old");
  Call(u"SaveToFile", {Variant::FromString(File("exists.bin")), Variant::FromI4(2)});
  EXPECT_EQ(test_support::ReadBytes(folder_ + "/exists.bin"), "new");
}

TEST_F(AdoStreamTest, MissingFilesAndFoldersCannotBeLoaded) {
  Call(u"Open");
  const std::u16string kPaths[] = {File("missing.txt"), File(""), u""};
  for (const std::u16string& path : kPaths) {
    Result<Variant> loaded = Run(u"LoadFromFile", {Variant::FromString(path)});
    EXPECT_FALSE(loaded.ok());
  }
}

TEST_F(AdoStreamTest, ClosedStreamRefusesEverything) {
  Result<Variant> read = Run(u"ReadText");
  ASSERT_FALSE(read.ok());
  EXPECT_EQ(read.error().Number(), 3704);
}

TEST_F(AdoStreamTest, WritesPastTheCapFail) {
  Put(u"Type", Variant::FromI4(1));
  Call(u"Open");
  std::string chunk(16 << 20, 'x');
  Variant big = Bytes(chunk);
  Result<Variant> written = Variant();
  size_t count = 0;
  while ((written = Run(u"Write", {big})).ok() && count < 64) ++count;
  EXPECT_FALSE(written.ok());
  EXPECT_EQ(count * chunk.size(), kMaxStreamBytes);
}

}  // namespace

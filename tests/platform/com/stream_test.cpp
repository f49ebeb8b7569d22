#include "platform/com/stream.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(MemoryStream, WritesGrowSeeksAndReadsBack) {
  ComPtr<IStream> stream = CreateMemoryStream();
  ULONG written = 0;
  ASSERT_EQ(stream->Write("hello world", 11, &written), S_OK);
  EXPECT_EQ(written, 11u);
  uint64_t position = 0;
  ASSERT_EQ(stream->Seek(6, STREAM_SEEK_SET, &position), S_OK);
  char buffer[16] = {};
  ULONG read = 0;
  ASSERT_EQ(stream->Read(buffer, sizeof buffer, &read), S_OK);
  EXPECT_EQ(read, 5u);  // short read at the end
  EXPECT_STREQ(buffer, "world");
  STATSTG statistics{};
  ASSERT_EQ(stream->Stat(&statistics, 0), S_OK);
  EXPECT_EQ(statistics.cbSize, 11u);
}

TEST(MemoryStream, WritingPastTheEndFillsTheGapWithZeros) {
  ComPtr<IStream> stream = CreateMemoryStream();
  ASSERT_EQ(stream->Seek(4, STREAM_SEEK_SET, nullptr), S_OK);
  ASSERT_EQ(stream->Write("x", 1, nullptr), S_OK);
  std::span<const std::byte> bytes = MemoryStreamContents(stream.get());
  ASSERT_EQ(bytes.size(), 5u);
  EXPECT_EQ(bytes[0], std::byte{0});
  EXPECT_EQ(bytes[4], std::byte{'x'});
}

TEST(MemoryStream, BadSeeksAndHugeSizesAreRefused) {
  ComPtr<IStream> stream = CreateMemoryStream();
  EXPECT_EQ(stream->Seek(-1, STREAM_SEEK_SET, nullptr), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(stream->Seek(0, 7, nullptr), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(stream->Seek(INT64_MAX, STREAM_SEEK_SET, nullptr), S_OK);
  EXPECT_EQ(stream->Seek(INT64_MAX, STREAM_SEEK_CUR, nullptr), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(stream->Write("x", 1, nullptr), STG_E_MEDIUMFULL);
  EXPECT_EQ(stream->SetSize(kMaxMemoryStreamBytes + 1), STG_E_MEDIUMFULL);
}

TEST(MemoryStream, CloneSharesBytesWithItsOwnPosition) {
  ComPtr<IStream> stream = CreateMemoryStream();
  ASSERT_EQ(stream->Write("abc", 3, nullptr), S_OK);
  ComPtr<IStream> clone;
  ASSERT_EQ(stream->Clone(clone.Receive()), S_OK);
  ASSERT_EQ(clone->Seek(0, STREAM_SEEK_SET, nullptr), S_OK);
  char letter = 0;
  ASSERT_EQ(clone->Read(&letter, 1, nullptr), S_OK);
  EXPECT_EQ(letter, 'a');
  ComPtr<IStream> copy = CreateMemoryStream();
  ASSERT_EQ(stream->Seek(1, STREAM_SEEK_SET, nullptr), S_OK);
  uint64_t copied = 0;
  ASSERT_EQ(stream->CopyTo(copy.get(), 10, &copied, nullptr), S_OK);
  EXPECT_EQ(copied, 2u);
  EXPECT_EQ(MemoryStreamContents(copy.get()).size(), 2u);
}

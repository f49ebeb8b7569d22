#include "wendrel/server/request_buffer.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(RequestBuffer, KeepsWhatFollowsAnAnsweredRequest) {
  RequestBuffer buffer;
  ASSERT_TRUE(buffer.Append("POST / HTTP/1.1\r\n\r\nabc"));
  ASSERT_TRUE(buffer.Append("GET /next HTTP/1.1\r\n\r\n"));
  buffer.Consume(22);
  EXPECT_EQ(buffer.Data(), "GET /next HTTP/1.1\r\n\r\n");
  EXPECT_EQ(buffer.Data().data()[buffer.size()], '\0');
  buffer.Consume(1000);  // more than there is: everything
  EXPECT_EQ(buffer.size(), 0u);
}

TEST(RequestBuffer, ReceivesStraightIntoItsFreeSpace) {
  RequestBuffer buffer;
  ASSERT_TRUE(buffer.ReserveMore(10));
  ASSERT_GE(buffer.FreeBytes(), 10u);
  std::memcpy(buffer.FreeSpace(), "0123456789", 10);
  buffer.Commit(4);
  EXPECT_EQ(buffer.Data(), "0123");
  buffer.Commit(buffer.FreeBytes() + 5);  // never past the room there is
  EXPECT_EQ(buffer.size() + 1, buffer.capacity());
}

TEST(RequestBuffer, GrowsByDoublingThenShrinksBack) {
  RequestBuffer buffer;
  ASSERT_TRUE(buffer.Append(std::string(3'000'000, 'x')));
  EXPECT_GE(buffer.capacity(), 3'000'001u);
  EXPECT_LT(buffer.capacity(), 3'000'000u + (1u << 20) + 1);  // grows by 1 MiB past 1 MiB
  buffer.Consume(buffer.size());
  EXPECT_EQ(buffer.capacity(), RequestBuffer::kKeptCapacity);
  EXPECT_EQ(buffer.size(), 0u);
}

// An idle connection holds no buffer; one still holding pipelined bytes keeps them.
TEST(RequestBuffer, GivesItsMemoryBackOnlyWhenEmpty) {
  RequestBuffer buffer;
  ASSERT_TRUE(buffer.Append("GET / HTTP/1.1\r\n\r\nGET /next"));
  buffer.Consume(18);
  buffer.ReleaseIfEmpty();
  EXPECT_EQ(buffer.Data(), "GET /next");
  buffer.Clear();
  buffer.ReleaseIfEmpty();
  EXPECT_EQ(buffer.capacity(), 0u);
  EXPECT_EQ(buffer.Data(), "");
  ASSERT_TRUE(buffer.ReserveMore(8));
  std::memcpy(buffer.FreeSpace(), "GET /a\r\n", 8);
  buffer.Commit(8);
  EXPECT_EQ(buffer.Data(), "GET /a\r\n");
}

}  // namespace

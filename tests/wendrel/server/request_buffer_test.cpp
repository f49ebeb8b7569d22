#include "wendrel/server/request_buffer.h"

#include <gtest/gtest.h>

namespace {

TEST(RequestBuffer, FindsTheHeaderEndAcrossPieces) {
  RequestBuffer buffer;
  ASSERT_TRUE(buffer.Append("GET / HTTP/1.1\r\nHost: a\r\n\r"));
  EXPECT_FALSE(buffer.HeaderBlock());
  ASSERT_TRUE(buffer.Append("\nbody"));
  ASSERT_TRUE(buffer.HeaderBlock());
  EXPECT_EQ(*buffer.HeaderBlock(), "GET / HTTP/1.1\r\nHost: a");
  EXPECT_EQ(buffer.BodyLength(), 4u);
  EXPECT_EQ(buffer.Body(2), "bo");
  EXPECT_EQ(buffer.Body(100), "body");
  EXPECT_EQ(buffer.Data().data()[buffer.size()], '\0');
}

TEST(RequestBuffer, KeepsWhatFollowsARequestForTheNext) {
  RequestBuffer buffer;
  ASSERT_TRUE(buffer.Append("POST / HTTP/1.1\r\n\r\nabcGET /next HTTP/1.1\r\n\r\n"));
  ASSERT_TRUE(buffer.HeaderBlock());
  buffer.FinishRequest(3);
  ASSERT_TRUE(buffer.HeaderBlock());
  EXPECT_EQ(*buffer.HeaderBlock(), "GET /next HTTP/1.1");
  buffer.FinishRequest(0);
  EXPECT_EQ(buffer.size(), 0u);
}

TEST(RequestBuffer, SkipsBlankLinesBetweenRequests) {
  RequestBuffer buffer;
  ASSERT_TRUE(buffer.Append("\r\n\r\nGET / HTTP/1.1\r\n\r\n"));
  buffer.SkipLeadingBlanks();
  ASSERT_TRUE(buffer.HeaderBlock());
  EXPECT_EQ(*buffer.HeaderBlock(), "GET / HTTP/1.1");
}

TEST(RequestBuffer, GrowsByDoublingThenShrinksBack) {
  RequestBuffer buffer;
  ASSERT_TRUE(buffer.Append(std::string(3'000'000, 'x')));
  EXPECT_GE(buffer.capacity(), 3'000'001u);
  EXPECT_LT(buffer.capacity(), 3'000'000u + (1u << 20) + 1);  // grows by 1 MiB past 1 MiB
  buffer.FinishRequest(0);
  EXPECT_EQ(buffer.capacity(), RequestBuffer::kKeptCapacity);
  EXPECT_EQ(buffer.size(), 0u);
}

}  // namespace

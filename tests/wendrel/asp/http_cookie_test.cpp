#include "wendrel/asp/http_cookie.h"

#include <gtest/gtest.h>

#include "tests/wendrel/asp/asp_test_support.h"
#include "platform/automation/date_time.h"
#include "wendrel/common/http_date.h"

namespace {

TEST(CookieReceived, SubKeysAreSplitAtAmpersandAndEquals) {
  ComPtr<CHTTPCookie> cookie = MakeObject<CHTTPCookie>("prefs", "a=1&b=2");
  EXPECT_EQ(Call(cookie.get(), u"HasKeys").value().boolVal, VARIANT_TRUE);
  EXPECT_EQ(Text(Call(cookie.get(), u"Item", {S(u"b")})), u"2");
  EXPECT_EQ(Text(Call(cookie.get(), u"Item", {S(u"B")})), u"2");
  EXPECT_EQ(Text(Call(cookie.get(), u"Item", {I(1)})), u"1");
  EXPECT_EQ(Text(Call(cookie.get(), u"Item")), u"a=1&b=2,1,2");
  EXPECT_EQ(Call(cookie.get(), u"Item", {S(u"zzz")}).value().vt, VT_EMPTY);
  EXPECT_EQ(Call(cookie.get(), u"Item", {I(5)}).value().vt, VT_EMPTY);
}

TEST(CookieReceived, PiecesWithoutExactlyOneEqualsHaveEmptyValues) {
  ComPtr<CHTTPCookie> cookie = MakeObject<CHTTPCookie>("c", "x&y=1=2&z=3&");
  EXPECT_EQ(cookie->ElementCount(), 4);  // the empty tail is dropped
  EXPECT_EQ(Text(Call(cookie.get(), u"Item", {S(u"x")})), u"");
  EXPECT_EQ(Text(Call(cookie.get(), u"Item", {S(u"y")})), u"");
  EXPECT_EQ(Text(Call(cookie.get(), u"Item", {S(u"z")})), u"3");
}

TEST(CookieReceived, PlainValueHasNoKeys) {
  ComPtr<CHTTPCookie> cookie = MakeObject<CHTTPCookie>("id", "42");
  EXPECT_EQ(Call(cookie.get(), u"HasKeys").value().boolVal, VARIANT_FALSE);
  EXPECT_EQ(Text(Call(cookie.get(), u"Item")), u"42");
  EXPECT_EQ(Text(Call(cookie.get(), u"Item", {I(1)})), u"42");
  EXPECT_EQ(Text(Call(cookie.get(), u"Key")), u"id");
}

TEST(CookieSerialisation, SubKeysGivenToAnEmptyCookie) {
  ComPtr<CHTTPCookie> cookie = MakeObject<CHTTPCookie>("prefs", "");
  ASSERT_TRUE(Put(cookie.get(), u"Item", S(u"1"), {S(u"a")}).ok());
  ASSERT_TRUE(Put(cookie.get(), u"Item", S(u"2"), {S(u"b")}).ok());
  EXPECT_EQ(cookie->SetCookieLine(), "Set-Cookie: prefs=a=1&b=2; path=/");
}

TEST(CookieSerialisation, ReceivedSubKeysAreSentBackAfterAnAmpersand) {
  ComPtr<CHTTPCookie> cookie = MakeObject<CHTTPCookie>("prefs", "a=1&b=2");
  EXPECT_EQ(cookie->SetCookieLine(), "Set-Cookie: prefs=&a=1&b=2; path=/");
}

TEST(CookieSerialisation, ValuesAreUrlEncodedAndAttributesFollow) {
  ComPtr<CHTTPCookie> cookie = MakeObject<CHTTPCookie>("who", "");
  ASSERT_TRUE(Put(cookie.get(), u"Item", S(u"Jo Smith/1;x")).ok());
  ASSERT_TRUE(Put(cookie.get(), u"Domain", S(u"example.org")).ok());
  ASSERT_TRUE(Put(cookie.get(), u"Path", S(u"/app")).ok());
  cookie->SetExpiry(784111777);  // Sun, 06 Nov 1994 08:49:37 GMT
  EXPECT_EQ(cookie->SetCookieLine(),
            "Set-Cookie: who=Jo+Smith%2F1%3Bx; expires=Sun, 06-Nov-1994 08:49:37 GMT"
            "; path=/app; domain=example.org");
  EXPECT_EQ(CookieValueEncoded(std::string(5000, 'a')).size(), 4096u);
}

TEST(CookieSerialisation, LineBreaksNeverReachTheHeader) {
  ComPtr<CHTTPCookie> cookie = MakeObject<CHTTPCookie>("n\r\nX-Evil: 1", "v");
  ASSERT_TRUE(Put(cookie.get(), u"Path", S(u"/\r\nSet-Cookie: stolen=1")).ok());
  ASSERT_TRUE(Put(cookie.get(), u"Domain", S(u"a\nb")).ok());
  std::string line = cookie->SetCookieLine();
  EXPECT_EQ(line.find('\r'), std::string::npos);
  EXPECT_EQ(line.find('\n'), std::string::npos);
}

TEST(CookieProperties, ExpiresTakesMinutesOrADate) {
  ComPtr<CHTTPCookie> cookie = MakeObject<CHTTPCookie>("c", "v");
  std::time_t before = std::time(nullptr);
  ASSERT_TRUE(Put(cookie.get(), u"Expires", I(10)).ok());
  EXPECT_GE(cookie->Expiry(), before + 600);
  EXPECT_LE(cookie->Expiry(), std::time(nullptr) + 600);
  std::time_t kept = cookie->Expiry();
  ASSERT_TRUE(Put(cookie.get(), u"Expires", S(u"not a date")).ok());
  EXPECT_EQ(cookie->Expiry(), kept);
  Variant date = Variant::FromDate(DateFromParts(2030, 1, 2, 3, 4, 5).value());
  ASSERT_TRUE(Put(cookie.get(), u"Expires", date).ok());
  std::tm local{};
  std::time_t expiry = cookie->Expiry();
  localtime_r(&expiry, &local);
  EXPECT_EQ(local.tm_year, 130);
  EXPECT_EQ(local.tm_hour, 3);
}

TEST(CookieProperties, IntegerKeyPutWritesThatElement) {
  ComPtr<CHTTPCookie> cookie = MakeObject<CHTTPCookie>("c", "whole");
  ASSERT_TRUE(Put(cookie.get(), u"Item", S(u"new whole"), {I(0)}).ok());
  EXPECT_EQ(Call(cookie.get(), u"HasKeys").value().boolVal, VARIANT_FALSE);
  EXPECT_EQ(Text(Call(cookie.get(), u"Item")), u"new whole");
  ASSERT_TRUE(Put(cookie.get(), u"Item", S(u"x"), {I(4)}).ok());  // appended at the end
  EXPECT_EQ(cookie->ElementCount(), 2);
  EXPECT_EQ(Call(cookie.get(), u"HasKeys").value().boolVal, VARIANT_TRUE);
  EXPECT_EQ(Put(cookie.get(), u"Item", S(u"x"), {I(-1)}).error().Number(), 9);
}

}  // namespace

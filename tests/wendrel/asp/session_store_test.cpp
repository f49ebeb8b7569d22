// The session store on its own, with a clock the tests move: identifiers, expiry, abandoned
// sessions and the limit on how many sessions are kept.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "tests/wendrel/asp/asp_test_support.h"
#include "wendrel/asp/session_store.h"

namespace {

constexpr uint32_t kLocale = 1033;

class SessionStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    store_.SetClock([this] { return now_; });
  }
  // A page's use of the session the cookie names: acquired and released at once.
  std::string Visit(std::string_view cookie = {}) {
    ComPtr<CASPSession> session = store_.Acquire(cookie, kLocale);
    EXPECT_TRUE(session);
    std::string id = session->Key();
    store_.Release(*session);
    return id;
  }

  int64_t now_ = 1000;
  SessionStore store_;
};

TEST(SessionIdTest, IdentifiersAreLongRandomAndInTheVisibleForm) {
  std::set<std::string> seen;
  for (int i = 0; i < 1000; ++i) {
    std::optional<std::string> id = NewSessionId();
    ASSERT_TRUE(id);
    ASSERT_EQ(id->size(), 34u);
    EXPECT_EQ(id->substr(0, 2), "S_");
    EXPECT_EQ(id->find_first_not_of("0123456789ABCDEF", 2), std::string::npos) << *id;
    seen.insert(*id);
  }
  EXPECT_EQ(seen.size(), 1000u);
}

TEST_F(SessionStoreTest, AKnownCookieFindsItsSessionAnUnknownOneNeverBecomesAnIdentifier) {
  std::string id = Visit();
  EXPECT_EQ(Visit(id), id);
  std::string lower = id;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_EQ(Visit(lower), id) << "identifiers match ignoring case";
  // Made-up, malformed and expired identifiers all give a fresh one.
  for (std::string_view forged : {"S_00000000000000000000000000000000", "S_1_2", "??", "",
                                  "S_0123456789ABCDEF0123456789ABCDEG"}) {
    std::string fresh = Visit(forged);
    EXPECT_NE(fresh, forged);
    EXPECT_NE(fresh, id);
  }
  EXPECT_EQ(store_.Count(), 1u + 5u);
}

TEST_F(SessionStoreTest, IdleSessionsExpireAfterTheirTimeoutButNeverWhileInUse) {
  std::string idle = Visit();
  ComPtr<CASPSession> busy = store_.Acquire({}, kLocale);
  ComPtr<CASPSession> forever = store_.Acquire({}, kLocale);
  ASSERT_TRUE(Put(forever.get(), u"Timeout", Variant::FromI4(0)).ok());
  store_.Release(*forever);

  now_ += 10 * 60;  // exactly the timeout: not yet past it
  EXPECT_EQ(store_.Sweep(), 0u);
  now_ += 1;
  EXPECT_EQ(store_.Sweep(), 1u) << "the idle session goes; the busy one stays";
  EXPECT_NE(Visit(idle), idle);
  EXPECT_EQ(busy->Key(), Visit(busy->Key())) << "a session in use is still found";

  store_.Release(*busy);
  now_ += 11 * 60;
  store_.Sweep();
  EXPECT_NE(Visit(busy->Key()), busy->Key());
  EXPECT_EQ(Visit(forever->Key()), forever->Key()) << "a timeout below one minute never expires";
}

TEST_F(SessionStoreTest, AVisitKeepsASessionAliveAndTimeoutIsPerSession) {
  std::string id = Visit();
  ComPtr<CASPSession> session = store_.Acquire(id, kLocale);
  ASSERT_TRUE(Put(session.get(), u"Timeout", Variant::FromI4(2)).ok());
  store_.Release(*session);
  now_ += 100;
  EXPECT_EQ(Visit(id), id);  // touched at now
  now_ += 120;
  store_.Sweep();
  EXPECT_EQ(Visit(id), id);
  now_ += 121;
  store_.Sweep();
  EXPECT_NE(Visit(id), id);
}

TEST_F(SessionStoreTest, AnAbandonedSessionGoesWhenItsPageEnds) {
  ComPtr<CASPSession> session = store_.Acquire({}, kLocale);
  std::string id = session->Key();
  ASSERT_TRUE(Put(session.get(), u"Value", Variant::FromI4(7), {Variant::FromString(u"x")}).ok());
  ASSERT_TRUE(Call(session.get(), u"Abandon").ok());
  // The page goes on with it: empty, "??", Timeout 1.
  Variant shown = Call(session.get(), u"SessionID").value();
  ASSERT_EQ(shown.vt, VT_BSTR);
  EXPECT_EQ(BstrView(shown.bstrVal), u"??");
  EXPECT_EQ(Call(session.get(), u"Value", {Variant::FromString(u"x")}).value().vt, VT_EMPTY);
  EXPECT_EQ(Call(session.get(), u"Timeout").value().lVal, 1);
  EXPECT_NE(Visit(id), id) << "a request in the meantime gets a new session";
  store_.Release(*session);
  EXPECT_EQ(store_.Count(), 1u) << "only the new session is left";
}

TEST_F(SessionStoreTest, TheLimitDropsClientsThatNeverCameBackFirstThenTheLeastRecentlyUsed) {
  store_.SetMaxSessions(4);
  std::string kept_a = Visit();
  std::string kept_b = Visit();
  Visit(kept_a);  // confirmed: both came back with their cookie
  Visit(kept_b);
  ComPtr<CASPSession> busy = store_.Acquire({}, kLocale);  // unconfirmed but in use
  for (int i = 0; i < 50; ++i) Visit();                    // a crawler without cookies
  EXPECT_EQ(store_.Count(), 4u);
  EXPECT_EQ(Visit(kept_a), kept_a);
  EXPECT_EQ(Visit(kept_b), kept_b);
  EXPECT_EQ(Visit(busy->Key()), busy->Key()) << "a session in use is never dropped";
  EXPECT_GE(store_.Evictions(), 49u);

  // Only confirmed sessions left to drop: the one used longest ago goes.
  store_.Release(*busy);
  Visit(kept_a);
  std::string newest = Visit();  // takes the place of the last crawler session
  Visit(newest);                 // confirmed: no unconfirmed session is left
  Visit();                       // so kept_b, used longest ago, goes
  EXPECT_NE(Visit(kept_b), kept_b);
  EXPECT_EQ(Visit(kept_a), kept_a);
}

TEST_F(SessionStoreTest, WithEverySessionInUseTheLimitIsPassedRatherThanDroppingOne) {
  store_.SetMaxSessions(2);
  ComPtr<CASPSession> first = store_.Acquire({}, kLocale);
  ComPtr<CASPSession> second = store_.Acquire({}, kLocale);
  ComPtr<CASPSession> third = store_.Acquire({}, kLocale);
  ASSERT_TRUE(third);
  EXPECT_EQ(store_.Count(), 3u);
  for (CASPSession* session : {first.get(), second.get(), third.get()}) store_.Release(*session);
  Visit();
  EXPECT_EQ(store_.Count(), 2u);
}

}  // namespace

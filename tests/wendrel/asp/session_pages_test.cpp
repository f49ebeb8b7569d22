// Sessions, Application and the objects OBJECT tags declare, through a real server and client:
// the cookie, state across requests, expiry, Abandon, the session limit, global.asa and the
// application lock under concurrent clients.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <future>
#include <string>
#include <vector>

#include "tests/wendrel/asp/asp_page_fixture.h"

namespace {

using namespace asp_test;

constexpr std::string_view kCounterPage =
    "<% Session(\"n\") = Session(\"n\") + 1 %><%= Session(\"n\") %>|<%= Session.SessionID %>";

class SessionPagesTest : public AspPagesTest {
 protected:
  struct Visit {
    int status = 0;
    std::string body;
    std::string set_cookie;  // the whole Set-Cookie line of the session, empty when none
    std::string id;          // the identifier it carries
  };

  // A request carrying `id` as the session cookie (none when empty).
  Visit Open(std::string_view path, std::string_view id = {}) {
    std::string cookie = id.empty() ? std::string() : "Cookie: ASPSESSIONID=" + std::string(id) + "\r\n";
    std::optional<HttpResponse> answer = Get(path, cookie);
    Visit visit;
    if (!answer) return visit;
    visit.status = answer->status;
    visit.body = answer->body;
    std::optional<std::string> line = answer->Header("Set-Cookie");
    if (line && line->starts_with("ASPSESSIONID=")) {
      visit.set_cookie = *line;
      visit.id = line->substr(13, line->find(';') - 13);
    }
    return visit;
  }
  SessionStore& Sessions() { return server_->Asp()->Sessions(); }
  // GlobalFromHost below, with a parameter that says whether it has global.asa.
  void SetIncludeCallback(intptr_t has_global);
};

TEST_F(SessionPagesTest, TheCookieCarriesTheSessionAcrossRequests) {
  Page("counter.asp", std::string(kCounterPage));
  Page("plain.htm", "static");
  Start();
  Visit first = Open("/counter.asp");
  ASSERT_EQ(first.status, 200);
  ASSERT_EQ(first.id.size(), 34u) << first.set_cookie;
  EXPECT_EQ(first.id.substr(0, 2), "S_");
  EXPECT_EQ(first.set_cookie, "ASPSESSIONID=" + first.id + "; path=/; HttpOnly");
  EXPECT_EQ(first.body, "1|" + first.id);

  Visit second = Open("/counter.asp", first.id);
  EXPECT_EQ(second.body, "2|" + first.id);
  EXPECT_EQ(second.id, first.id);
  EXPECT_EQ(Open("/counter.asp", first.id).body, "3|" + first.id);

  Visit without = Open("/counter.asp");
  EXPECT_NE(without.id, first.id);
  EXPECT_EQ(without.body, "1|" + without.id);

  // An identifier the server did not give out is never taken on.
  std::string forged = "S_0123456789ABCDEF0123456789ABCDEF";
  Visit unknown = Open("/counter.asp", forged);
  EXPECT_NE(unknown.id, forged);
  EXPECT_EQ(unknown.body, "1|" + unknown.id);

  EXPECT_TRUE(Open("/plain.htm").set_cookie.empty()) << "static files make no session";
}

TEST_F(SessionPagesTest, AbandonEmptiesTheSessionAndTheNextRequestGetsANewOne) {
  Page("counter.asp", std::string(kCounterPage));
  Page("abandon.asp",
       "<% Session(\"x\") = 5 : Session.Abandon %><%= Session.SessionID %>|"
       "<%= IsEmpty(Session(\"x\")) %>|<%= Session.Timeout %>");
  Start();
  Visit first = Open("/counter.asp");
  Visit abandoned = Open("/abandon.asp", first.id);
  EXPECT_EQ(abandoned.body, "??|True|1");
  Visit after = Open("/counter.asp", first.id);
  EXPECT_NE(after.id, first.id);
  EXPECT_EQ(after.body, "1|" + after.id);
}

TEST_F(SessionPagesTest, SessionsExpireAfterTheirTimeout) {
  Page("counter.asp", std::string(kCounterPage));
  Page("short.asp", "<% Session.Timeout = 2 : Session(\"n\") = 10 %>short");
  Start();
  std::atomic<int64_t> now{5000};
  Sessions().SetClock([&now] { return now.load(); });
  Visit first = Open("/counter.asp");
  Visit short_lived = Open("/short.asp");
  now += 3 * 60;
  Sessions().Sweep();
  EXPECT_EQ(Open("/counter.asp", first.id).body, "2|" + first.id) << "10 minutes not yet over";
  EXPECT_NE(Open("/counter.asp", short_lived.id).id, short_lived.id) << "its 2 minutes were";
  now += 10 * 60 + 1;
  Sessions().Sweep();
  Visit later = Open("/counter.asp", first.id);
  EXPECT_NE(later.id, first.id);
  EXPECT_EQ(later.body, "1|" + later.id);
  Sessions().SetClock(nullptr);
}

TEST_F(SessionPagesTest, ValuesAndObjectsStoredInTheSession) {
  Page("set.asp",
       "<% Set d = CreateObject(\"Scripting.Dictionary\") : d.Add \"k\", \"v\"\r\n"
       "Set Session(\"d\") = d\r\nSession(\"q\") = Request.QueryString(\"a\")\r\n"
       "Session.Contents(\"c\") = 3 %>set");
  Page("get.asp",
       "<%= TypeName(Session(\"q\")) %>|<%= Session(\"q\") %>|<%= IsObject(Session(\"d\")) %>|"
       "<%= Session(\"d\")(\"k\") %>|<%= Session(\"C\") %>|<%= Session.Contents.Count %>");
  Page("fresh.asp",
       "<%= TypeName(Session(\"q\")) %>|<%= IsObject(Session(\"d\")) %>|"
       "<%= Session.Contents.Count %>");
  Start();
  Visit first = Open("/set.asp?a=text");
  EXPECT_EQ(Open("/get.asp", first.id).body, "String|text|True|v|3|3");
  EXPECT_EQ(Open("/fresh.asp").body, "Empty|False|0");
}

TEST_F(SessionPagesTest, ThePageLocaleIsTheSessionLocale) {
  Page("lcid.asp", "<%@ LCID=1031 %><%= Session.LCID %>|<%= FormatNumber(1234.5, 1) %>");
  Page("show.asp", "<%= Session.LCID %>|<%= FormatNumber(1234.5, 1) %>");
  Page("set.asp", "<% Session.LCID = 1031 %><%= FormatNumber(1234.5, 1) %>");
  Page("bad.asp", "<% On Error Resume Next : Session.LCID = 77777 %><%= Err.Number %>");
  Start();
  Visit german = Open("/lcid.asp");
  EXPECT_EQ(german.body, "1031|1.234,5");
  EXPECT_EQ(Open("/show.asp", german.id).body, "1031|1.234,5") << "later pages keep it";
  EXPECT_EQ(Open("/set.asp").body, "1.234,5");
  EXPECT_EQ(Open("/bad.asp").body, "5");
}

// The objects pages share live on the host's thread, which must serve them: these tests pump.
TEST_F(SessionPagesTest, ObjectTagsOfGlobalAsaAreMadeOnFirstUseOncePerScope) {
  Page("global.asa",
       "<OBJECT RUNAT=Server SCOPE=Application ID=AppDict PROGID=\"Scripting.Dictionary\">"
       "</OBJECT>\r\n<object runat=\"server\" scope=\"session\" id=\"MyDict\" "
       "progid=\"Scripting.Dictionary\"></object>\r\n");
  Page("peek.asp",
       "<%= IsObject(Application.StaticObjects(\"AppDict\")) %>|"
       "<%= IsObject(Session.StaticObjects(\"MyDict\")) %>");
  Page("sub/add.asp",
       "<% AppDict.Add Request.QueryString(\"k\"), 1 : MyDict.Add Request.QueryString(\"k\"), 1 %>"
       "<%= AppDict.Count %>|<%= MyDict.Count %>");
  Page("page_tag.asp",
       "<object runat=server id=PageDict progid=Scripting.Dictionary></object>"
       "<% PageDict(\"n\") = PageDict(\"n\") + 1 %><%= PageDict(\"n\") %>");
  Start();
  WhilePumping<int>([&] {
    Visit first = Open("/peek.asp");
    EXPECT_EQ(first.body, "False|False") << "nothing is made before a script uses it";
    EXPECT_EQ(Open("/sub/add.asp?k=a", first.id).body, "1|1");
    EXPECT_EQ(Open("/sub/add.asp?k=b", first.id).body, "2|2");
    Visit other = Open("/sub/add.asp?k=c");
    EXPECT_EQ(other.body, "3|1") << "one application object, one object per session";
    EXPECT_EQ(Open("/peek.asp", first.id).body, "True|True");
    EXPECT_EQ(Open("/page_tag.asp").body, "1");
    EXPECT_EQ(Open("/page_tag.asp").body, "2") << "a page's own tag is of application scope";
    return 0;
  });
}

TEST_F(SessionPagesTest, ConcurrentFirstUsesMakeTheObjectOnce) {
  Page("global.asa",
       "<OBJECT RUNAT=Server SCOPE=Application ID=Seen PROGID=\"Scripting.Dictionary\">"
       "</OBJECT>");
  Page("seen.asp", "<% Seen.Add Request.QueryString(\"k\"), 1 %>ok");
  Page("count.asp", "<%= Seen.Count %>");
  Start();
  std::string count = WhilePumping<std::string>([&] {
    std::vector<std::future<std::string>> clients;
    for (int c = 0; c < 8; ++c) {
      clients.push_back(std::async(std::launch::async, [this, c] {
        return Open("/seen.asp?k=" + std::to_string(c)).body;
      }));
    }
    for (auto& client : clients) EXPECT_EQ(client.get(), "ok");
    return Open("/count.asp").body;
  });
  EXPECT_EQ(count, "8");
}

TEST_F(SessionPagesTest, TheApplicationLockMakesACounterExactAndIsGivenBackWhenAPageEnds) {
  Page("count.asp",
       "<% Application.Lock\r\nDim n : n = Application(\"n\")\r\nApplication(\"n\") = n + 1\r\n"
       "Application.Unlock %>ok");
  Page("fail.asp", "<% Application.Lock : Err.Raise 5 %>");
  Page("end.asp", "<% Application.Lock : Application.Lock : Response.End %>");
  Page("show.asp", "<%= Application(\"n\") %>");
  Start();
  EXPECT_EQ(Open("/fail.asp").status, 200);
  EXPECT_EQ(Open("/end.asp").status, 200);
  std::vector<std::future<int>> clients;
  for (int c = 0; c < 8; ++c) {
    clients.push_back(std::async(std::launch::async, [this] {
      int served = 0;
      for (int r = 0; r < 25; ++r) served += Open("/count.asp").body == "ok" ? 1 : 0;
      return served;
    }));
  }
  int served = 0;
  for (auto& client : clients) served += client.get();
  EXPECT_EQ(served, 200);
  EXPECT_EQ(Open("/show.asp").body, "200");
}

TEST_F(SessionPagesTest, TheSessionLimitDropsCookielessSessionsFirst) {
  Page("counter.asp", std::string(kCounterPage));
  Put(u"MaxSessions", I(5));
  Start();
  Visit kept = Open("/counter.asp");
  Open("/counter.asp", kept.id);  // came back: a real visitor
  for (int i = 0; i < 40; ++i) Open("/counter.asp");
  EXPECT_LE(Sessions().Count(), 5u);
  EXPECT_EQ(Open("/counter.asp", kept.id).body, "3|" + kept.id);
  EXPECT_GE(Sessions().Evictions(), 36u);
}

Variant Address(intptr_t value) {
  Variant address;
  address.vt = VT_I8;
  address.llVal = value;
  return address;
}

// The host's include callback may supply global.asa; once it has none it is not asked again
// and the file on disk is used.
std::atomic<int> global_asks{0};
char* GlobalFromHost(const char* path, intptr_t parameter) {
  if (std::strcmp(path, "global.asa") != 0) return nullptr;
  global_asks.fetch_add(1);
  if (parameter == 0) return nullptr;
  const char* text =
      "<OBJECT RUNAT=Server ID=HostDict PROGID=\"Scripting.Dictionary\"></OBJECT>";
  char* block = static_cast<char*>(std::malloc(std::strlen(text) + 1));
  std::strcpy(block, text);
  return block;
}

void SessionPagesTest::SetIncludeCallback(intptr_t has_global) {
  const VARIANT arguments[] = {Address(reinterpret_cast<intptr_t>(&GlobalFromHost)),
                               Address(has_global)};
  ASSERT_TRUE(CallMember(server_.get(), u"SetIncludeCallback", arguments).ok());
}

TEST_F(SessionPagesTest, GlobalAsaComesFromTheHostWhenItHasOne) {
  Page("use.asp", "<% HostDict(\"n\") = HostDict(\"n\") + 1 %><%= HostDict(\"n\") %>");
  SetIncludeCallback(1);
  Start();
  global_asks = 0;
  WhilePumping<int>([&] {
    EXPECT_EQ(Open("/use.asp").body, "1");
    EXPECT_EQ(Open("/use.asp").body, "2");
    return 0;
  });
  EXPECT_EQ(global_asks.load(), 2) << "pages from the host are compiled on every request";
}

TEST_F(SessionPagesTest, WithoutGlobalAsaFromTheHostTheFileOnDiskIsUsedAndTheHostNotAskedAgain) {
  Page("global.asa",
       "<OBJECT RUNAT=Server ID=DiskDict PROGID=\"Scripting.Dictionary\"></OBJECT>");
  Page("use.asp", "<% DiskDict(\"n\") = DiskDict(\"n\") + 1 %><%= DiskDict(\"n\") %>");
  SetIncludeCallback(0);
  Start();
  global_asks = 0;
  WhilePumping<int>([&] {
    EXPECT_EQ(Open("/use.asp").body, "1");
    EXPECT_EQ(Open("/use.asp").body, "2");
    return 0;
  });
  EXPECT_EQ(global_asks.load(), 1);
}

}  // namespace

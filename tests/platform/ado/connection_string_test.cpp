#include "platform/ado/connection_string.h"

#include <gtest/gtest.h>

#include "platform/ado/ado_error.h"

namespace {

struct MappingCase {
  std::u16string_view text;
  std::u16string_view provider;  // the Provider property
  std::u16string_view expected;  // the ODBC string
  bool pooled;
};

TEST(ConnectionStringTest, MapsProvidersToOdbc) {
  const MappingCase kCases[] = {
      {u"DSN=Sales;UID=web;PWD=secret", u"", u"DSN=Sales;UID=web;PWD=secret", true},
      {u"Driver={SQLite3};Database=/srv/a.db", u"", u"Driver=SQLite3;Database=/srv/a.db", true},
      {u"Provider=MSDASQL.1;Data Source=Sales;User ID=web;Password=p", u"", u"DSN=Sales;UID=web;PWD=p", true},
      {u"Provider=SQLite;Data Source=C:\\data\\sales.db", u"", u"Driver=SQLite3;Database=C:/data/sales.db", true},
      {u"Provider=sqlite3;Data Source=/srv/x.db;OLE DB Services=-2", u"", u"Driver=SQLite3;Database=/srv/x.db", false},
      {u"/srv/site/report.db", u"", u"Driver=SQLite3;Database=/srv/site/report.db", true},
      {u"sales.sqlite", u"", u"Driver=SQLite3;Database=sales.sqlite", true},
      {u"Sales", u"", u"DSN=Sales", true},
      {u"/srv/b.db", u"SQLite", u"Driver=SQLite3;Database=/srv/b.db", true},
      {u"Provider=PostgreSQL;Data Source=db.local;Location=shop;User ID=u;Password=p;Port=5433", u"",
       u"Driver=PostgreSQL Unicode;BoolsAsChar=0;Server=db.local;Database=shop;UID=u;PWD=p;Port=5433", true},
      {u"Provider=MSDASQL;Extended Properties=\"DSN=Sales;Database=x\"", u"", u"DSN=Sales;Database=x", true},
      {u"DSN=Sales;OLE DB Services=-1", u"", u"DSN=Sales", true},
      {u"DSN=Sales;OLE DB Services=-4", u"", u"DSN=Sales", false},
      {u"  DSN = Sales ; ; ", u"", u"DSN=Sales", true},
      {u"\"/rvsN", u"", u"Driver=SQLite3;Database={\"/rvsN}", true},  // found by fuzzing
  };
  for (const MappingCase& test : kCases) {
    SCOPED_TRACE(std::string(test.text.begin(), test.text.end()));
    Result<OdbcTarget> target = MapConnectionString(test.text, test.provider, u"", u"");
    ASSERT_TRUE(target.ok());
    EXPECT_EQ(target.value().connection_string, test.expected);
    EXPECT_EQ(target.value().pooled, test.pooled);
  }
}

TEST(ConnectionStringTest, QuotedValuesCannotAddKeywords) {
  // A value holding ';' and '=' stays one value: it is braced when the ODBC string is written.
  Result<OdbcTarget> target =
      MapConnectionString(u"DSN=Sales;PWD=\"x;Driver={evil}\"", u"", u"", u"");
  ASSERT_TRUE(target.ok());
  EXPECT_EQ(target.value().connection_string, u"DSN=Sales;PWD={x;Driver={evil}}}");
  Result<OdbcTarget> braced = MapConnectionString(u"DSN=Sales;PWD={a}}b;c}", u"", u"", u"");
  ASSERT_TRUE(braced.ok());
  EXPECT_EQ(braced.value().connection_string, u"DSN=Sales;PWD={a}}b;c}");
}

TEST(ConnectionStringTest, OpenArgumentsOverrideUserAndPassword) {
  Result<OdbcTarget> target = MapConnectionString(u"DSN=Sales", u"", u"web", u"p;w");
  ASSERT_TRUE(target.ok());
  EXPECT_EQ(target.value().connection_string, u"DSN=Sales;UID=web;PWD={p;w}");
}

TEST(ConnectionStringTest, ConnectTimeoutIsTheLoginTime) {
  Result<OdbcTarget> target = MapConnectionString(u"DSN=Sales;Connect Timeout=7", u"", u"", u"");
  ASSERT_TRUE(target.ok());
  EXPECT_EQ(target.value().login_timeout, 7);
  EXPECT_EQ(target.value().connection_string, u"DSN=Sales");
}

TEST(ConnectionStringTest, MalformedStringsAreRefused) {
  const std::u16string_view kCases[] = {
      u"DSN=\"unterminated", u"DSN={open", u"DSN=a;justtext;UID=b", u"=value", u"D[S]N=x",
      u"DSN=\"a\"b", u"DSN='x",
  };
  for (std::u16string_view text : kCases) {
    SCOPED_TRACE(std::string(text.begin(), text.end()));
    Result<OdbcTarget> target = MapConnectionString(text, u"", u"", u"");
    ASSERT_FALSE(target.ok());
    EXPECT_EQ(target.error().Hresult(), kDbBadInitString);
  }
  std::u16string huge(kMaxConnectionStringLength + 1, u'a');
  EXPECT_FALSE(MapConnectionString(u"DSN=" + huge, u"", u"", u"").ok());
}

TEST(ConnectionStringTest, UnknownProviderIsNotFound) {
  Result<OdbcTarget> target = MapConnectionString(u"Provider=SQLOLEDB;Data Source=x", u"", u"", u"");
  ASSERT_FALSE(target.ok());
  EXPECT_EQ(target.error().Number(), 3706);
}

TEST(ConnectionStringTest, LastRepeatedProviderWins) {
  Result<OdbcTarget> target =
      MapConnectionString(u"Provider=Nope;Provider=SQLite;Data Source=/a.db", u"", u"", u"");
  ASSERT_TRUE(target.ok());
  EXPECT_EQ(target.value().connection_string, u"Driver=SQLite3;Database=/a.db");
}

}  // namespace

// Pages that read and write a database through ADODB (SQLite through its ODBC driver), with the
// library's constants from a METADATA comment.
#include <gtest/gtest.h>

#include <string>

#include "tests/wendrel/asp/asp_page_fixture.h"

namespace {

using namespace asp_test;

class DataPagesTest : public AspPagesTest {
 protected:
  void SetUp() override {
    AspPagesTest::SetUp();
    if (!fs::exists("/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so") &&
        !fs::exists("/usr/lib/aarch64-linux-gnu/odbc/libsqlite3odbc.so")) {
      GTEST_SKIP() << "the SQLite ODBC driver (libsqlite3odbc.so) is not installed";
    }
  }
  // "Provider=SQLite;Data Source=..." for a database file outside the site.
  std::string ConnectionString() {
    return "Provider=SQLite;Data Source=" + (fs::path(registry_.folder()) / "data.db").string();
  }
};

TEST_F(DataPagesTest, APageWritesWithParametersAndReadsBackWithTheLibraryConstants) {
  Page("rows.asp",
       "<!--METADATA TYPE=\"typelib\" UUID=\"00000205-0000-0010-8000-00AA006D2EA4\" -->\r\n"
       "<% Set conn = Server.CreateObject(\"ADODB.Connection\")\r\n"
       "conn.Open \"" + ConnectionString() + "\"\r\n"
       "conn.Execute \"CREATE TABLE IF NOT EXISTS t (id INTEGER, name VARCHAR(60))\"\r\n"
       "conn.Execute \"DELETE FROM t\"\r\n"
       "Set cmd = Server.CreateObject(\"ADODB.Command\")\r\n"
       "Set cmd.ActiveConnection = conn\r\n"
       "cmd.CommandText = \"INSERT INTO t (id, name) VALUES (?, ?)\"\r\n"
       "cmd.Parameters.Append cmd.CreateParameter(\"id\", adInteger, adParamInput)\r\n"
       "cmd.Parameters.Append cmd.CreateParameter(\"name\", adVarWChar, adParamInput, 60)\r\n"
       "cmd(\"id\") = 1 : cmd(\"name\") = Request.QueryString(\"name\")\r\n"
       "cmd.Execute , , adExecuteNoRecords\r\n"
       "cmd(\"id\") = 2 : cmd(\"name\") = Null\r\n"
       "cmd.Execute , , adExecuteNoRecords\r\n"
       "Set rs = Server.CreateObject(\"ADODB.Recordset\")\r\n"
       "rs.Open \"SELECT id, name FROM t ORDER BY id\", conn, adOpenStatic, adLockReadOnly\r\n"
       "Response.Write rs.RecordCount & \"|\"\r\n"
       "Do While Not rs.EOF\r\n"
       "  Response.Write rs(\"id\") & \"=\" & Server.HTMLEncode(rs(\"name\") & \"\") & \"|\"\r\n"
       "  rs.MoveNext\r\n"
       "Loop\r\n"
       "rs.MoveFirst : rows = rs.GetRows()\r\n"
       "Response.Write UBound(rows, 1) & \"x\" & UBound(rows, 2) & \"|\" & IsNull(rows(1, 1))\r\n"
       "rs.Close : conn.Close %>");
  Start();
  EXPECT_EQ(Body("/rows.asp?name=%27%3B+DROP+TABLE+t%3B+--+%3Cb%3E"),
            "2|1='; DROP TABLE t; -- &lt;b&gt;|2=|1x1|True");
  EXPECT_EQ(Body("/rows.asp?name=again"), "2|1=again|2=|1x1|True") << "the table is still there";
}

TEST_F(DataPagesTest, ADatabaseErrorReachesThePageWithTheDriversMessage) {
  Page("caught.asp",
       "<% On Error Resume Next\r\nSet conn = Server.CreateObject(\"ADODB.Connection\")\r\n"
       "conn.Open \"" + ConnectionString() + "\"\r\n"
       "conn.Execute \"SELEKT nonsense\"\r\n"
       "Response.Write Hex(Err.Number) & \"|\" & (InStr(Err.Description, \"[\") = 1) & \"|\" & "
       "conn.Errors.Count %>");
  Page("uncaught.asp",
       "<% Set conn = Server.CreateObject(\"ADODB.Connection\")\r\n"
       "conn.Open \"" + ConnectionString() + "\"\r\n"
       "conn.Execute \"SELECT * FROM no_such_table\" %>");
  Start();
  EXPECT_EQ(Body("/caught.asp"), "80040E14|True|1");
  std::string page = Body("/uncaught.asp");
  EXPECT_NE(page.find("no_such_table"), std::string::npos) << page;
  EXPECT_NE(page.find("on line 3,"), std::string::npos) << page;
}

}  // namespace

// The ADO objects against real databases: SQLite through its ODBC driver and a throwaway
// PostgreSQL cluster, the same tests on both.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/ado/command.h"
#include "platform/ado/connection.h"
#include "platform/ado/connection_pool.h"
#include "platform/ado/recordset.h"
#include "platform/automation/conversion.h"
#include "platform/automation/date_time.h"
#include "platform/automation/dispatch_call.h"
#include "platform/automation/safearray.h"
#include "tests/support/test_data_sources.h"

namespace {

Variant Text(std::u16string_view text) { return Variant::FromString(text); }
std::span<const VARIANT> One(const Variant& value) { return {static_cast<const VARIANT*>(&value), 1}; }
Variant Int(int32_t value) { return Variant::FromI4(value); }

std::u16string AsText(const Variant& value) {
  Result<Bstr> text = ToBstr(value);
  return text.ok() ? std::u16string(text.value().view()) : u"<error>";
}

IDispatch* AsObject(const Variant& value) { return value.vt == VT_DISPATCH ? value.pdispVal : nullptr; }

class AdoDatabaseTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    std::string skip;
    connection_string_ = TestDataSources::Get().ConnectionString(GetParam(), &skip);
    if (connection_string_.empty()) GTEST_SKIP() << GetParam() << " is not available: " << skip;
    connection_ = ComPtr<IDispatch>(MakeObject<Connection>().get());
    Variant text = Text(connection_string_);
    ASSERT_TRUE(CallMember(connection_.get(), u"Open", One(text)).ok());
  }

  // Runs a member that must succeed.
  Variant Call(IDispatch* object, std::u16string_view name, std::vector<Variant> arguments = {}) {
    std::vector<VARIANT> raw(arguments.begin(), arguments.end());
    Result<Variant> result = CallMember(object, name, raw);
    EXPECT_TRUE(result.ok()) << std::string(name.begin(), name.end()) << ": "
                             << TextToBytes(result.ok() ? u"" : result.error().Description(), CP_UTF8);
    return result.ok() ? std::move(result).value() : Variant();
  }
  Result<Variant> TryCall(IDispatch* object, std::u16string_view name, std::vector<Variant> arguments = {}) {
    std::vector<VARIANT> raw(arguments.begin(), arguments.end());
    return CallMember(object, name, raw);
  }
  Variant Execute(std::u16string_view sql) { return Call(connection_.get(), u"Execute", {Text(sql)}); }
  void Put(IDispatch* object, std::u16string_view name, const Variant& value) {
    ASSERT_TRUE(PutMember(object, name, {}, value).ok());
  }
  int32_t Count(std::u16string_view table) {
    Variant recordset = Execute(u"SELECT COUNT(*) FROM " + std::u16string(table));
    Variant value = Call(AsObject(recordset), u"Fields", {Int(0)});
    return ToInt32(value).ValueOr(-1);
  }
  // A Recordset opened on the connection with a cursor and lock type.
  Variant OpenRecordset(std::u16string_view sql, int32_t cursor, int32_t lock) {
    Variant recordset = Variant::FromDispatch(MakeObject<Recordset>().get());
    Call(AsObject(recordset), u"Open",
         {Text(sql), Variant::FromDispatch(connection_.get()), Int(cursor), Int(lock)});
    return recordset;
  }
  std::vector<std::u16string> Column(IDispatch* recordset, std::u16string_view name) {
    std::vector<std::u16string> values;
    for (int guard = 0; guard < 1000 && !ToBool(Call(recordset, u"EOF")).ValueOr(true); ++guard) {
      values.push_back(AsText(Call(recordset, u"Fields", {Text(name)})));
      Call(recordset, u"MoveNext");
    }
    return values;
  }

  std::u16string connection_string_;
  ComPtr<IDispatch> connection_;
};

TEST_P(AdoDatabaseTest, ParameterValuesStayDataAndNeverBecomeSql) {
  Execute(u"CREATE TABLE x (id INTEGER, name VARCHAR(100))");
  ComPtr<Command> command = MakeObject<Command>();
  Put(command.get(), u"ActiveConnection", Variant::FromDispatch(connection_.get()));
  Put(command.get(), u"CommandText", Text(u"INSERT INTO x (id, name) VALUES (?, ?)"));
  Variant parameter = Call(command.get(), u"CreateParameter", {Text(u"id"), Int(3), Int(1), Int(0), Int(1)});
  Call(Call(command.get(), u"Parameters").pdispVal, u"Append", {parameter});
  Variant name = Call(command.get(), u"CreateParameter", {Text(u"name"), Int(202), Int(1), Int(100), Text(u"'; DROP TABLE x; --")});
  Call(Call(command.get(), u"Parameters").pdispVal, u"Append", {name});
  Variant affected;
  Variant affected_reference = Variant::RefTo(&affected);
  Call(command.get(), u"Execute", {affected_reference});
  EXPECT_EQ(ToInt32(affected).ValueOr(0), 1);

  Variant recordset = Execute(u"SELECT name FROM x");
  EXPECT_EQ(Column(AsObject(recordset), u"name"), std::vector<std::u16string>{u"'; DROP TABLE x; --"});
  EXPECT_EQ(Count(u"x"), 1);
}

TEST_P(AdoDatabaseTest, ExecuteArrayParametersConvertToTheDeclaredType) {
  Execute(u"CREATE TABLE numbers (n INTEGER)");
  ComPtr<Command> command = MakeObject<Command>();
  Put(command.get(), u"ActiveConnection", Variant::FromDispatch(connection_.get()));
  Put(command.get(), u"CommandText", Text(u"INSERT INTO numbers (n) VALUES (?)"));
  Variant parameter = Call(command.get(), u"CreateParameter", {Text(u"n"), Int(3)});
  Call(Call(command.get(), u"Parameters").pdispVal, u"Append", {parameter});
  SAFEARRAY* values = SafeArrayCreateVector(VT_VARIANT, 0, 1);
  int32_t index = 0;
  ASSERT_TRUE(SafeArrayPutElement(values, &index, 1, Text(u"42")).ok());
  Call(command.get(), u"Execute", {Variant::Missing(), Variant::FromArray(VT_VARIANT, values)});
  Variant recordset = Execute(u"SELECT n FROM numbers");
  Variant value = Call(AsObject(recordset), u"Fields", {Int(0)});
  Variant read = Call(value.pdispVal, u"Value");
  EXPECT_EQ(read.vt, VT_I4);
  EXPECT_EQ(read.lVal, 42);
}

TEST_P(AdoDatabaseTest, WalksRowsWithEofAndMoveNext) {
  Execute(u"CREATE TABLE fruit (id INTEGER, name VARCHAR(20))");
  Execute(u"INSERT INTO fruit VALUES (2, 'pear')");
  Execute(u"INSERT INTO fruit VALUES (1, 'apple')");
  Execute(u"INSERT INTO fruit VALUES (3, 'plum')");
  Variant recordset = Execute(u"SELECT id, name FROM fruit ORDER BY id");
  EXPECT_FALSE(ToBool(Call(AsObject(recordset), u"BOF")).value());
  EXPECT_EQ(Column(AsObject(recordset), u"NAME"), (std::vector<std::u16string>{u"apple", u"pear", u"plum"}));
  EXPECT_TRUE(ToBool(Call(AsObject(recordset), u"EOF")).value());
  Result<Variant> past_end = TryCall(AsObject(recordset), u"MoveNext");
  ASSERT_FALSE(past_end.ok());
  EXPECT_EQ(past_end.error().Number(), 3021);
  EXPECT_EQ(ToInt32(Call(AsObject(recordset), u"RecordCount")).value(), -1);
}

TEST_P(AdoDatabaseTest, EmptyResultIsBofAndEof) {
  Execute(u"CREATE TABLE empty_table (id INTEGER)");
  Variant recordset = Execute(u"SELECT id FROM empty_table");
  EXPECT_TRUE(ToBool(Call(AsObject(recordset), u"BOF")).value());
  EXPECT_TRUE(ToBool(Call(AsObject(recordset), u"EOF")).value());
  Result<Variant> rows = TryCall(AsObject(recordset), u"GetRows");
  ASSERT_FALSE(rows.ok());
  EXPECT_EQ(rows.error().Number(), 3021);
}

TEST_P(AdoDatabaseTest, GetRowsGivesFieldByRowArrayWithEveryType) {
  Execute(u"CREATE TABLE kinds (i INTEGER, t VARCHAR(20), r DOUBLE PRECISION, d DATE, ts TIMESTAMP, n INTEGER)");
  Execute(u"INSERT INTO kinds VALUES (7, 'seven', 2.5, '2024-02-29', '2024-03-01 13:14:15', NULL)");
  Execute(u"INSERT INTO kinds VALUES (-8, '', -0.125, '1999-12-31', '2000-01-01 00:00:00', NULL)");
  Variant recordset = Execute(u"SELECT i, t, r, d, ts, n FROM kinds ORDER BY i DESC");
  Variant rows = Call(AsObject(recordset), u"GetRows");
  ASSERT_EQ(rows.vt, VT_ARRAY | VT_VARIANT);
  EXPECT_EQ(SafeArrayGetDim(rows.parray), 2u);
  EXPECT_EQ(SafeArrayUpperBound(rows.parray, 1).value(), 5);
  EXPECT_EQ(SafeArrayUpperBound(rows.parray, 2).value(), 1);
  auto at = [&](int32_t field, int32_t row) {
    int32_t indices[2] = {field, row};
    return SafeArrayGetElement(rows.parray, indices, 2).value();
  };
  EXPECT_EQ(at(0, 0).vt, VT_I4);
  EXPECT_EQ(at(0, 0).lVal, 7);
  EXPECT_EQ(at(1, 0).vt, VT_BSTR);
  EXPECT_EQ(at(1, 0).StringView(), u"seven");
  EXPECT_EQ(at(2, 1).vt, VT_R8);
  EXPECT_EQ(at(2, 1).dblVal, -0.125);
  EXPECT_EQ(at(3, 0).vt, VT_DATE);
  EXPECT_EQ(at(3, 0).date, DateFromParts(2024, 2, 29).value());
  EXPECT_EQ(at(4, 0).vt, VT_DATE);
  EXPECT_EQ(at(4, 0).date, DateFromParts(2024, 3, 1, 13, 14, 15).value());
  EXPECT_EQ(at(5, 0).vt, VT_NULL);
  EXPECT_EQ(at(1, 1).StringView(), u"");
  EXPECT_TRUE(ToBool(Call(AsObject(recordset), u"EOF")).value());
}

TEST_P(AdoDatabaseTest, GetRowsTakesCountStartAndFieldList) {
  Execute(u"CREATE TABLE letters (id INTEGER, name VARCHAR(5))");
  for (int i = 1; i <= 5; ++i) {
    Execute(u"INSERT INTO letters VALUES (" + BytesToText(std::to_string(i), CP_UTF8) + u", 'n" +
            BytesToText(std::to_string(i), CP_UTF8) + u"')");
  }
  Variant recordset = OpenRecordset(u"SELECT id, name FROM letters ORDER BY id", 3, 1);
  SAFEARRAY* names = SafeArrayCreateVector(VT_VARIANT, 0, 1);
  int32_t index = 0;
  ASSERT_TRUE(SafeArrayPutElement(names, &index, 1, Text(u"name")).ok());
  Variant two = Call(AsObject(recordset), u"GetRows", {Int(2), Variant::Missing(), Variant::FromArray(VT_VARIANT, names)});
  EXPECT_EQ(SafeArrayUpperBound(two.parray, 1).value(), 0);
  EXPECT_EQ(SafeArrayUpperBound(two.parray, 2).value(), 1);
  int32_t second[2] = {0, 1};
  EXPECT_EQ(SafeArrayGetElement(two.parray, second, 2).value().StringView(), u"n2");
  // The next unread record is current; Start = adBookmarkFirst reads from the first again.
  EXPECT_EQ(ToInt32(Call(AsObject(recordset), u"Fields", {Text(u"id")})).value(), 3);
  Variant again = Call(AsObject(recordset), u"GetRows", {Int(-1), Int(1), Int(0)});
  EXPECT_EQ(SafeArrayUpperBound(again.parray, 2).value(), 4);
  Result<Variant> unknown = TryCall(AsObject(recordset), u"GetRows", {Int(1), Int(1), Text(u"missing")});
  ASSERT_FALSE(unknown.ok());
  EXPECT_EQ(unknown.error().Number(), 3265);
}

TEST_P(AdoDatabaseTest, PagesOfAStaticCursor) {
  Execute(u"CREATE TABLE pages (id INTEGER)");
  Execute(u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 25) "
          u"INSERT INTO pages SELECT i FROM n");
  Variant recordset = OpenRecordset(u"SELECT id FROM pages ORDER BY id", 3, 1);
  IDispatch* rs = AsObject(recordset);
  Put(rs, u"PageSize", Int(10));
  EXPECT_EQ(ToInt32(Call(rs, u"RecordCount")).value(), 25);
  EXPECT_EQ(ToInt32(Call(rs, u"PageCount")).value(), 3);
  Put(rs, u"AbsolutePage", Int(3));
  EXPECT_EQ(ToInt32(Call(rs, u"Fields", {Int(0)})).value(), 21);
  EXPECT_EQ(ToInt32(Call(rs, u"AbsolutePage")).value(), 3);
  EXPECT_EQ(ToInt32(Call(rs, u"AbsolutePosition")).value(), 21);
  Call(rs, u"MovePrevious");
  EXPECT_EQ(ToInt32(Call(rs, u"AbsolutePage")).value(), 2);
  Call(rs, u"MoveLast");
  EXPECT_EQ(ToInt32(Call(rs, u"Fields", {Int(0)})).value(), 25);
  Call(rs, u"MoveFirst");
  Call(rs, u"MovePrevious");
  EXPECT_TRUE(ToBool(Call(rs, u"BOF")).value());
  EXPECT_EQ(ToInt32(Call(rs, u"AbsolutePage")).value(), -2);
  EXPECT_FALSE(PutMember(rs, u"AbsolutePage", {}, Int(4)).ok());
}

TEST_P(AdoDatabaseTest, ForwardOnlyCursorRefusesToGoBack) {
  Execute(u"CREATE TABLE forward (id INTEGER)");
  Execute(u"INSERT INTO forward VALUES (1)");
  Execute(u"INSERT INTO forward VALUES (2)");
  Variant recordset = Execute(u"SELECT id FROM forward ORDER BY id");
  IDispatch* rs = AsObject(recordset);
  Call(rs, u"MoveNext");
  Result<Variant> back = TryCall(rs, u"MovePrevious");
  ASSERT_FALSE(back.ok());
  EXPECT_EQ(back.error().Hresult(), MakeHresult(0x80040E24u));
  // MoveFirst runs the statement again.
  Call(rs, u"MoveFirst");
  EXPECT_EQ(ToInt32(Call(rs, u"Fields", {Int(0)})).value(), 1);
  EXPECT_EQ(ToInt32(Call(rs, u"PageCount")).value(), -1);
}

TEST_P(AdoDatabaseTest, RolledBackTransactionLeavesNothing) {
  Execute(u"CREATE TABLE ledger (amount INTEGER)");
  EXPECT_EQ(ToInt32(Call(connection_.get(), u"BeginTrans")).value(), 1);
  Execute(u"INSERT INTO ledger VALUES (10)");
  Call(connection_.get(), u"RollbackTrans");
  EXPECT_EQ(Count(u"ledger"), 0);
  Call(connection_.get(), u"BeginTrans");
  Execute(u"INSERT INTO ledger VALUES (20)");
  Call(connection_.get(), u"CommitTrans");
  EXPECT_EQ(Count(u"ledger"), 1);
  Result<Variant> no_transaction = TryCall(connection_.get(), u"CommitTrans");
  EXPECT_FALSE(no_transaction.ok());
}

TEST_P(AdoDatabaseTest, BadSqlRaisesTheDriversStateAndMessage) {
  Result<Variant> failed = TryCall(connection_.get(), u"Execute", {Text(u"SELEC nonsense")});
  ASSERT_FALSE(failed.ok());
  EXPECT_EQ(failed.error().Hresult(), MakeHresult(0x80040E14u));
  std::u16string description = failed.error().Description();
  ASSERT_GE(description.size(), 8u);
  EXPECT_EQ(description[0], u'[');
  EXPECT_EQ(description[6], u']');
  EXPECT_NE(description.find(u"SELEC"), std::u16string::npos);
  Variant errors = Call(connection_.get(), u"Errors");
  EXPECT_GE(ToInt32(Call(errors.pdispVal, u"Count")).value(), 1);
  Variant first = Call(errors.pdispVal, u"Item", {Int(0)});
  EXPECT_EQ(AsText(Call(first.pdispVal, u"SQLState")), description.substr(1, 5));
  EXPECT_EQ(ToInt32(Call(first.pdispVal, u"Number")).value(), MakeHresult(0x80040E14u));
}

TEST_P(AdoDatabaseTest, NullsTravelBothWays) {
  Execute(u"CREATE TABLE maybe (id INTEGER, note VARCHAR(10))");
  ComPtr<Command> command = MakeObject<Command>();
  Put(command.get(), u"ActiveConnection", Variant::FromDispatch(connection_.get()));
  Put(command.get(), u"CommandText", Text(u"INSERT INTO maybe (id, note) VALUES (?, ?)"));
  SAFEARRAY* values = SafeArrayCreateVector(VT_VARIANT, 0, 2);
  int32_t first = 0, second = 1;
  ASSERT_TRUE(SafeArrayPutElement(values, &first, 1, Int(1)).ok());
  ASSERT_TRUE(SafeArrayPutElement(values, &second, 1, Variant::Null()).ok());
  Call(command.get(), u"Execute", {Variant::Missing(), Variant::FromArray(VT_VARIANT, values)});
  Variant recordset = Execute(u"SELECT note FROM maybe WHERE note IS NULL");
  Variant field = Call(AsObject(recordset), u"Fields", {Int(0)});
  EXPECT_EQ(Call(field.pdispVal, u"Value").vt, VT_NULL);
  EXPECT_EQ(ToInt32(Call(field.pdispVal, u"ActualSize")).value(), -1);
}

TEST_P(AdoDatabaseTest, StatementWithoutRowsGivesClosedRecordsetAndCount) {
  Execute(u"CREATE TABLE counted (id INTEGER)");
  Execute(u"INSERT INTO counted VALUES (1)");
  Execute(u"INSERT INTO counted VALUES (2)");
  Variant affected;
  Variant recordset = Call(connection_.get(), u"Execute", {Text(u"UPDATE counted SET id = id + 10"), Variant::RefTo(&affected)});
  EXPECT_EQ(ToInt32(affected).value(), 2);
  EXPECT_EQ(ToInt32(Call(AsObject(recordset), u"State")).value(), 0);
  Result<Variant> closed = TryCall(AsObject(recordset), u"MoveNext");
  ASSERT_FALSE(closed.ok());
  EXPECT_EQ(closed.error().Number(), 3704);
}

TEST_P(AdoDatabaseTest, AddNewUpdateAndDeleteOnOneTable) {
  Execute(u"CREATE TABLE people (id INTEGER, name VARCHAR(20))");
  Execute(u"INSERT INTO people VALUES (1, 'ann')");
  Variant recordset = OpenRecordset(u"SELECT id, name FROM people", 3, 3);
  IDispatch* rs = AsObject(recordset);
  EXPECT_TRUE(ToBool(Call(rs, u"Supports", {Int(0x1008000)})).value());
  Call(rs, u"AddNew");
  ASSERT_TRUE(PutMember(rs, u"Fields", One(Text(u"id")), Int(2)).ok());
  ASSERT_TRUE(PutMember(rs, u"Fields", One(Text(u"name")), Text(u"bo'b")).ok());
  EXPECT_EQ(ToInt32(Call(rs, u"EditMode")).value(), 2);
  Call(rs, u"Update");
  EXPECT_EQ(Count(u"people"), 2);
  Call(rs, u"MoveFirst");
  ASSERT_TRUE(PutMember(rs, u"Fields", One(Text(u"name")), Text(u"anna")).ok());
  Call(rs, u"Update");
  Variant renamed = Execute(u"SELECT name FROM people WHERE id = 1");
  EXPECT_EQ(AsText(Call(AsObject(renamed), u"Fields", {Int(0)})), u"anna");
  Call(rs, u"Delete");
  EXPECT_EQ(Count(u"people"), 1);
  Result<Variant> deleted = TryCall(rs, u"Fields", {Text(u"name")});
  ASSERT_TRUE(deleted.ok());  // the Field object; its value needs a current record
  Result<Variant> value = TryCall(deleted.value().pdispVal, u"Value");
  ASSERT_FALSE(value.ok());
  EXPECT_EQ(value.error().Number(), 3021);
  Call(rs, u"MoveNext");
  EXPECT_EQ(AsText(Call(rs, u"Fields", {Text(u"name")})), u"bo'b");
}

TEST_P(AdoDatabaseTest, ReadOnlyRecordsetRefusesEdits) {
  Execute(u"CREATE TABLE fixed (id INTEGER)");
  Execute(u"INSERT INTO fixed VALUES (1)");
  Variant recordset = OpenRecordset(u"SELECT id FROM fixed", 3, 1);
  Result<Variant> added = TryCall(AsObject(recordset), u"AddNew");
  ASSERT_FALSE(added.ok());
  EXPECT_EQ(added.error().Number(), 3251);
}

TEST_P(AdoDatabaseTest, GetStringJoinsColumnsAndRows) {
  Execute(u"CREATE TABLE pairs (a INTEGER, b VARCHAR(5))");
  Execute(u"INSERT INTO pairs VALUES (1, 'x')");
  Execute(u"INSERT INTO pairs VALUES (2, NULL)");
  Variant recordset = Execute(u"SELECT a, b FROM pairs ORDER BY a");
  Variant text = Call(AsObject(recordset), u"GetString", {Int(2), Int(-1), Text(u","), Text(u";"), Text(u"-")});
  EXPECT_EQ(text.StringView(), u"1,x;2,-;");
}

TEST_P(AdoDatabaseTest, FieldsDescribeTheirColumns) {
  Execute(u"CREATE TABLE described (id INTEGER, label VARCHAR(30))");
  Execute(u"INSERT INTO described VALUES (1, 'one')");
  Variant recordset = Execute(u"SELECT id, label FROM described");
  Variant fields = Call(AsObject(recordset), u"Fields");
  EXPECT_EQ(ToInt32(Call(fields.pdispVal, u"Count")).value(), 2);
  Variant id = Call(fields.pdispVal, u"Item", {Int(0)});
  EXPECT_EQ(AsText(Call(id.pdispVal, u"Name")), u"id");
  EXPECT_EQ(ToInt32(Call(id.pdispVal, u"Type")).value(), 3);  // adInteger
  EXPECT_EQ(ToInt32(Call(id.pdispVal, u"DefinedSize")).value(), 4);
  Variant label = Call(fields.pdispVal, u"Item", {Text(u"LABEL")});
  int32_t type = ToInt32(Call(label.pdispVal, u"Type")).value();
  EXPECT_TRUE(type == 200 || type == 202) << type;  // adVarChar or adVarWChar
  EXPECT_EQ(ToInt32(Call(label.pdispVal, u"DefinedSize")).value(), 30);
}

TEST_P(AdoDatabaseTest, HundredThousandRowsThroughGetRows) {
  Execute(u"CREATE TABLE many (id INTEGER, label VARCHAR(20))");
  Execute(u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000) "
          u"INSERT INTO many SELECT i, 'row' FROM n");
  Variant recordset = Execute(u"SELECT id, label FROM many ORDER BY id");
  Variant rows = Call(AsObject(recordset), u"GetRows");
  ASSERT_EQ(rows.vt, VT_ARRAY | VT_VARIANT);
  EXPECT_EQ(SafeArrayUpperBound(rows.parray, 2).value(), 99999);
  int32_t last[2] = {0, 99999};
  EXPECT_EQ(ToInt32(SafeArrayGetElement(rows.parray, last, 2).value()).value(), 100000);
}

TEST_P(AdoDatabaseTest, ClosedConnectionGoesBackToThePool) {
  Call(connection_.get(), u"Close");
  size_t idle = SharedConnectionPool().IdleCount();
  EXPECT_GE(idle, 1u);
  ComPtr<IDispatch> again(MakeObject<Connection>().get());
  Variant text = Text(connection_string_);
  Call(again.get(), u"Open", {text});
  EXPECT_EQ(SharedConnectionPool().IdleCount(), idle - 1);
  Call(again.get(), u"Close");
  // "OLE DB Services=-2" turns pooling off: the connection is closed, not kept.
  ComPtr<IDispatch> unpooled(MakeObject<Connection>().get());
  Call(unpooled.get(), u"Open", {Text(connection_string_ + u";OLE DB Services=-2")});
  Call(unpooled.get(), u"Close");
  EXPECT_EQ(SharedConnectionPool().IdleCount(), idle);
  Call(connection_.get(), u"Open");
}

// Pages on many workers open and close connections without the pool at the same moment.
TEST_P(AdoDatabaseTest, ConcurrentUnpooledConnectionsOpenAndCloseSafely) {
  std::u16string unpooled = connection_string_ + u";OLE DB Services=-2";
  std::vector<std::thread> workers;
  std::atomic<int> opened{0};
  for (int w = 0; w < 8; ++w) {
    workers.emplace_back([&] {
      for (int i = 0; i < 40; ++i) {
        ComPtr<Connection> connection = MakeObject<Connection>();
        Variant text = Text(unpooled);
        if (!CallMember(connection.get(), u"Open", One(text)).ok()) continue;
        if (CallMember(connection.get(), u"Execute", One(Text(u"SELECT 1"))).ok()) ++opened;
        (void)CallMember(connection.get(), u"Close", {});
      }
    });
  }
  for (std::thread& worker : workers) worker.join();
  EXPECT_EQ(opened.load(), 320);
}

TEST_P(AdoDatabaseTest, PooledConnectionComesBackWithoutTheOpenTransaction) {
  Execute(u"CREATE TABLE kept (id INTEGER)");
  Call(connection_.get(), u"BeginTrans");
  Execute(u"INSERT INTO kept VALUES (1)");
  // A page that ends with its transaction open: releasing the connection rolls it back.
  Result<Variant> refused = TryCall(connection_.get(), u"Close");
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error().Number(), 3246);
  connection_.Reset();
  ComPtr<IDispatch> again(MakeObject<Connection>().get());
  Call(again.get(), u"Open", {Text(connection_string_)});
  connection_ = again;
  EXPECT_EQ(Count(u"kept"), 0);
}

TEST_P(AdoDatabaseTest, BinaryDecimalAndLargeIntegerValues) {
  bool postgres = GetParam() == "postgres";
  Execute(postgres ? u"CREATE TABLE odd (b BYTEA, n NUMERIC(12,4), big BIGINT, flag BOOLEAN)"
                   : u"CREATE TABLE odd (b BLOB, n NUMERIC(12,4), big BIGINT, flag BOOLEAN)");
  ComPtr<Command> command = MakeObject<Command>();
  Put(command.get(), u"ActiveConnection", Variant::FromDispatch(connection_.get()));
  Put(command.get(), u"CommandText", Text(u"INSERT INTO odd (b, n, big, flag) VALUES (?, ?, ?, ?)"));
  SAFEARRAY* bytes = SafeArrayCreateVector(VT_UI1, 0, 4);
  const uint8_t kBytes[] = {0, 0xFF, 0x27, 0x3B};  // NUL, 255, quote, semicolon
  std::copy(std::begin(kBytes), std::end(kBytes), static_cast<uint8_t*>(bytes->pvData));
  SAFEARRAY* values = SafeArrayCreateVector(VT_VARIANT, 0, 4);
  Variant items[] = {Variant::FromArray(VT_UI1, bytes), Variant::FromCurrency(CY{123456}),
                     Variant::FromR8(6e9), Variant::FromBool(true)};
  for (int32_t i = 0; i < 4; ++i) ASSERT_TRUE(SafeArrayPutElement(values, &i, 1, items[i]).ok());
  Call(command.get(), u"Execute", {Variant::Missing(), Variant::FromArray(VT_VARIANT, values)});

  Variant recordset = Execute(u"SELECT b, n, big, flag FROM odd");
  Variant binary = Call(Call(AsObject(recordset), u"Fields", {Int(0)}).pdispVal, u"Value");
  ASSERT_EQ(binary.vt, VT_ARRAY | VT_UI1);
  ASSERT_EQ(SafeArrayElementCount(binary.parray), 4u);
  EXPECT_TRUE(std::equal(std::begin(kBytes), std::end(kBytes), static_cast<uint8_t*>(binary.parray->pvData)));
  Variant number = Call(Call(AsObject(recordset), u"Fields", {Int(1)}).pdispVal, u"Value");
  EXPECT_DOUBLE_EQ(ToDouble(number).value(), 12.3456);
  if (postgres) {
    EXPECT_EQ(number.vt, VT_CY);  // the SQLite driver reports NUMERIC as a double
  }
  Variant big = Call(Call(AsObject(recordset), u"Fields", {Int(2)}).pdispVal, u"Value");
  EXPECT_EQ(big.vt, VT_R8);  // past a 32-bit integer
  EXPECT_EQ(big.dblVal, 6e9);
  EXPECT_TRUE(ToBool(Call(AsObject(recordset), u"Fields", {Int(3)})).value());
}

TEST_P(AdoDatabaseTest, MaxRecordsEndsTheRows) {
  Execute(u"CREATE TABLE limited (id INTEGER)");
  Execute(u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 10) "
          u"INSERT INTO limited SELECT i FROM n");
  Variant recordset = Variant::FromDispatch(MakeObject<Recordset>().get());
  Put(AsObject(recordset), u"MaxRecords", Int(4));
  Call(AsObject(recordset), u"Open", {Text(u"SELECT id FROM limited ORDER BY id"),
                                      Variant::FromDispatch(connection_.get()), Int(3)});
  EXPECT_EQ(ToInt32(Call(AsObject(recordset), u"RecordCount")).value(), 4);
}

TEST_P(AdoDatabaseTest, NextRecordsetIsNothingAfterTheLastResult) {
  Variant recordset = Execute(u"SELECT 1");
  Variant next = Call(AsObject(recordset), u"NextRecordset");
  EXPECT_EQ(next.vt, VT_DISPATCH);
  EXPECT_EQ(next.pdispVal, nullptr);
  EXPECT_EQ(ToInt32(Call(AsObject(recordset), u"State")).value(), 0);
  if (GetParam() != "postgres") return;  // the SQLite driver runs one statement per call
  Variant batch = Execute(u"SELECT 1 AS a; SELECT 2 AS b");
  EXPECT_EQ(ToInt32(Call(AsObject(batch), u"Fields", {Int(0)})).value(), 1);
  Variant second = Call(AsObject(batch), u"NextRecordset");
  ASSERT_NE(AsObject(second), nullptr);
  EXPECT_EQ(ToInt32(Call(AsObject(second), u"Fields", {Text(u"b")})).value(), 2);
}

INSTANTIATE_TEST_SUITE_P(Databases, AdoDatabaseTest, ::testing::Values("sqlite", "postgres"),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

TEST(AdoSqliteTest, OpensADataSourceNameFromOdbcIni) {
  std::string skip;
  if (TestDataSources::Get().ConnectionString("sqlite", &skip).empty()) GTEST_SKIP() << skip;
  ComPtr<IDispatch> connection(MakeObject<Connection>().get());
  Variant text = Variant::FromString(u"DSN=SqliteTest");
  ASSERT_TRUE(CallMember(connection.get(), u"Open", One(text)).ok());
  Variant sql = Variant::FromString(u"SELECT 1 + 1");
  Result<Variant> recordset = CallMember(connection.get(), u"Execute", One(sql));
  ASSERT_TRUE(recordset.ok());
  Variant index = Variant::FromI4(0);
  EXPECT_EQ(ToInt32(CallMember(recordset.value().pdispVal, u"Fields", One(index)).value()).value(), 2);
}

TEST(AdoSqliteTest, FilePathWithBackslashesOpensTheSameDatabase) {
  std::string skip;
  if (TestDataSources::Get().ConnectionString("sqlite", &skip).empty()) GTEST_SKIP() << skip;
  std::u16string folder = BytesToText(TestDataSources::Get().private_folder(), CP_UTF8);
  std::u16string windows_style = folder + u"\\slashes.db";
  ComPtr<IDispatch> first(MakeObject<Connection>().get());
  Variant path = Variant::FromString(windows_style);
  ASSERT_TRUE(CallMember(first.get(), u"Open", One(path)).ok());
  Variant create = Variant::FromString(u"CREATE TABLE t (id INTEGER)");
  ASSERT_TRUE(CallMember(first.get(), u"Execute", One(create)).ok());
  EXPECT_TRUE(std::filesystem::exists(TestDataSources::Get().private_folder() + "/slashes.db"));
}

TEST(AdoConnectionTest, UnknownProviderIsNotFound) {
  ComPtr<IDispatch> connection(MakeObject<Connection>().get());
  Variant text = Variant::FromString(u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=x.mdb");
  Result<Variant> opened = CallMember(connection.get(), u"Open", One(text));
  ASSERT_FALSE(opened.ok());
  EXPECT_EQ(opened.error().Number(), 3706);
}

TEST(AdoConnectionTest, ClosedConnectionRefusesToExecute) {
  ComPtr<IDispatch> connection(MakeObject<Connection>().get());
  Variant sql = Variant::FromString(u"SELECT 1");
  Result<Variant> executed = CallMember(connection.get(), u"Execute", One(sql));
  ASSERT_FALSE(executed.ok());
  EXPECT_EQ(executed.error().Number(), 3709);
}

}  // namespace

// ODBCList.getDataSources: against unixODBC with configuration files written by the test,
// and against a scripted driver manager for the failures a real one rarely shows.
#include "tabulix32/utilities/odbc_list.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/automation/conversion.h"
#include "platform/automation/dispatch_call.h"
#include "platform/automation/safearray.h"
#include "platform/com/creation.h"
#include "platform/com/module_loader.h"
#include "platform/scriptruntime/dictionary.h"
#include "tabulix32/utilities/odbc_list_internal.h"
#include "tests/support/fake_dispatch.h"
#include "tests/support/temporary_registry.h"

namespace {

using namespace odbc_list_internal;

constexpr char kSqliteDriverPath[] = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";
constexpr int32_t kFetchNext = 1;
constexpr int32_t kFetchFirst = 2;
constexpr int32_t kFetchFirstUser = 31;
constexpr int32_t kFetchFirstSystem = 32;

std::string Narrow(std::u16string_view text) {
  std::string narrow;
  for (char16_t c : text) narrow += c < 128 ? static_cast<char>(c) : '?';
  return narrow;
}

// The entries of a dictionary, in order, as name → item text.
using Entries = std::vector<std::pair<std::u16string, std::u16string>>;

Entries EntriesOf(IDispatch* dictionary) {
  Entries entries;
  Variant keys = CallMember(dictionary, u"Keys").value();
  SAFEARRAY* array = keys.parray;
  int32_t last = SafeArrayUpperBound(array, 1).value();
  for (int32_t i = 0; i <= last; ++i) {
    Variant key = SafeArrayGetElement(array, &i, 1).value();
    const VARIANT item_arguments[] = {key};
    Variant item = CallMember(dictionary, u"Item", item_arguments).value();
    entries.emplace_back(ToBstr(key).value().view(), ToBstr(item).value().view());
  }
  return entries;
}

std::string Describe(const Entries& entries) {
  std::string text;
  for (const auto& [name, description] : entries) {
    text += Narrow(name) + " -> " + Narrow(description) + "; ";
  }
  return text;
}

// --- Against unixODBC --------------------------------------------------------------------

// The configuration folder of the process. unixODBC reads the variables once, at its first
// use, so they are set before any test loads it; the files are rewritten for every case (the
// driver manager reads them again whenever an enumeration starts). Every case uses data-source
// names of its own, because the driver manager caches the entries it looked up for a while.
// The folder lives until the process ends.
struct ConfigurationFolderOwner {
  std::filesystem::path folder;
  ~ConfigurationFolderOwner() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
};

const std::filesystem::path& ConfigurationFolder() {
  static const ConfigurationFolderOwner owner{[] {
    std::string pattern = (std::filesystem::temp_directory_path() / "odbclist-XXXXXX").string();
    std::filesystem::path created = mkdtemp(pattern.data());
    setenv("ODBCSYSINI", created.c_str(), 1);
    setenv("ODBCINI", (created / "user_odbc.ini").c_str(), 1);
    unsetenv("ODBCINSTINI");
    std::ofstream drivers(created / "odbcinst.ini");
    drivers << "[SQLite3]\nDescription=SQLite3 ODBC Driver\nDriver=" << kSqliteDriverPath
            << "\n\n[SQLite3 Copy]\nDescription=Second name of the same driver\nDriver="
            << kSqliteDriverPath << "\n";
    return created;
  }()};
  return owner.folder;
}

void WriteConfiguration(const std::string& system_sources, const std::string& user_sources) {
  const std::filesystem::path& folder = ConfigurationFolder();
  std::ofstream(folder / "odbc.ini", std::ios::trunc) << system_sources;
  std::ofstream(folder / "user_odbc.ini", std::ios::trunc) << user_sources;
}

std::string DataSource(const std::string& name, const std::string& driver) {
  return "[" + name + "]\nDriver=" + driver + "\nDatabase=/tmp/" + name + ".db\n\n";
}

class OdbcListTest : public testing::Test {
 protected:
  void SetUp() override {
    ConfigurationFolder();
    Result<void*> module = LoadModule(u"" SCRIPT_RUNTIME_PATH_U);
    ASSERT_TRUE(module.ok());
    using EntryPoint = HRESULT (*)();
    auto register_server =
        reinterpret_cast<EntryPoint>(ModuleEntryPoint(module.value(), "DllRegisterServer").value());
    ASSERT_EQ(register_server(), S_OK);
  }

  // getDataSources by name with the argument by reference, as a page passes its variable.
  Result<Variant> GetDataSources(Variant& fetch_start) {
    const VARIANT arguments[] = {Variant::RefTo(&fetch_start)};
    return CallMember(list_.get(), u"getDataSources", arguments);
  }
  Result<Variant> GetDataSources(int32_t fetch_start) {
    Variant variable = Variant::FromI4(fetch_start);
    return GetDataSources(variable);
  }

  // A call expected to give a dictionary: its entries.
  Entries ListedBy(int32_t fetch_start) {
    Result<Variant> result = GetDataSources(fetch_start);
    EXPECT_TRUE(result.ok());
    if (!result.ok()) return {};
    EXPECT_EQ(result.value().Type(), VT_DISPATCH);
    if (result.value().Type() != VT_DISPATCH) return {};
    return EntriesOf(result.value().pdispVal);
  }

  TemporaryRegistry registry_;
  ComPtr<IDispatch> list_ = ComPtr<IDispatch>::Adopt(static_cast<IDispatch*>(CreateODBCList()));
};

TEST_F(OdbcListTest, TwoDataSourcesAreListedInOrderWithTheirDrivers) {
  WriteConfiguration(DataSource("Two_Sales", "SQLite3") + DataSource("Two_Stock", "SQLite3 Copy"),
                     "");
  Entries entries = ListedBy(kFetchFirst);
  Entries expected = {{u"Two_Sales", u"SQLite3"}, {u"Two_Stock", u"SQLite3 Copy"}};
  EXPECT_EQ(entries, expected) << Describe(entries);
}

TEST_F(OdbcListTest, ResultIsAScriptingDictionary) {
  WriteConfiguration(DataSource("Kind_Sales", "SQLite3"), "");
  Variant result = GetDataSources(kFetchFirst).value();
  ASSERT_EQ(result.Type(), VT_DISPATCH);
  Variant count = CallMember(result.pdispVal, u"Count").value();
  EXPECT_EQ(ToInt32(count).value(), 1);
  Variant name = Variant::FromString(u"Kind_Sales");
  const VARIANT exists_arguments[] = {name};
  EXPECT_TRUE(ToBool(CallMember(result.pdispVal, u"Exists", exists_arguments).value()).value());
}

TEST_F(OdbcListTest, SameNameInUserAndSystemScopeGivesOneEntryFromTheFirstEnumerated) {
  WriteConfiguration(DataSource("Both_Shared", "SQLite3"),
                     DataSource("Both_Shared", "SQLite3 Copy"));
  Entries entries = ListedBy(kFetchFirst);
  // The driver manager enumerates the user's data sources first.
  Entries expected = {{u"Both_Shared", u"SQLite3 Copy"}};
  EXPECT_EQ(entries, expected) << Describe(entries);
}

TEST_F(OdbcListTest, NoDataSourcesGiveAnEmptyDictionary) {
  WriteConfiguration("", "");
  Result<Variant> result = GetDataSources(kFetchFirst);
  ASSERT_TRUE(result.ok());
  ASSERT_EQ(result.value().Type(), VT_DISPATCH);
  EXPECT_TRUE(EntriesOf(result.value().pdispVal).empty());
}

TEST_F(OdbcListTest, DirectionsSelectUserSystemOrAllDataSources) {
  WriteConfiguration(DataSource("Scope_System", "SQLite3"),
                     DataSource("Scope_User", "SQLite3 Copy"));
  Entries user = {{u"Scope_User", u"SQLite3 Copy"}};
  Entries system = {{u"Scope_System", u"SQLite3"}};
  Entries all = {{u"Scope_User", u"SQLite3 Copy"}, {u"Scope_System", u"SQLite3"}};
  EXPECT_EQ(ListedBy(kFetchFirstUser), user);
  EXPECT_EQ(ListedBy(kFetchFirstSystem), system);
  EXPECT_EQ(ListedBy(kFetchFirst), all);
  // "Next" on a fresh environment starts at the first data source of all.
  EXPECT_EQ(ListedBy(kFetchNext), all);
}

TEST_F(OdbcListTest, UserDirectionWithOnlySystemDataSourcesGivesAnEmptyDictionary) {
  WriteConfiguration(DataSource("Lonely_System", "SQLite3"), "");
  EXPECT_TRUE(ListedBy(kFetchFirstUser).empty());
  EXPECT_EQ(ListedBy(kFetchFirstSystem).size(), 1u);
}

TEST_F(OdbcListTest, UnknownDirectionGivesEmptyInsteadOfADictionary) {
  WriteConfiguration(DataSource("Unknown_Sales", "SQLite3"), "");
  for (int32_t direction : {0, 5, 33, -1, 70000, -70000}) {
    SCOPED_TRACE(direction);
    Result<Variant> result = GetDataSources(direction);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.value().Type(), VT_EMPTY);
  }
}

TEST_F(OdbcListTest, AcceptsNumericValuesOfAnyKindAndLeavesTheArgumentAlone) {
  WriteConfiguration(DataSource("Forms_System", "SQLite3"), DataSource("Forms_User", "SQLite3"));
  int32_t direction = kFetchFirstSystem;
  Variant typed_reference;
  typed_reference.vt = VT_BYREF | VT_I4;
  typed_reference.plVal = &direction;
  const VARIANT typed_arguments[] = {typed_reference};
  Variant by_long = CallMember(list_.get(), u"getDataSources", typed_arguments).value();
  ASSERT_EQ(by_long.Type(), VT_DISPATCH);
  EXPECT_EQ(EntriesOf(by_long.pdispVal).size(), 1u);
  EXPECT_EQ(direction, kFetchFirstSystem);

  Variant text = Variant::FromString(u"31");
  Variant by_text = GetDataSources(text).value();
  ASSERT_EQ(by_text.Type(), VT_DISPATCH);
  Entries user = {{u"Forms_User", u"SQLite3"}};
  EXPECT_EQ(EntriesOf(by_text.pdispVal), user);
  EXPECT_EQ(text.StringView(), u"31");

  Variant rounded = Variant::FromR8(31.5);  // rounds half to even: 32
  Variant by_double = GetDataSources(rounded).value();
  ASSERT_EQ(by_double.Type(), VT_DISPATCH);
  Entries system = {{u"Forms_System", u"SQLite3"}};
  EXPECT_EQ(EntriesOf(by_double.pdispVal), system);
}

TEST_F(OdbcListTest, NonNumericArgumentFailsBeforeAnythingIsListed) {
  Variant text = Variant::FromString(u"all");
  Result<Variant> mismatch = GetDataSources(text);
  ASSERT_FALSE(mismatch.ok());
  EXPECT_EQ(mismatch.error().Number(), 13);
  Variant null = Variant::Null();
  Result<Variant> from_null = GetDataSources(null);
  ASSERT_FALSE(from_null.ok());
  EXPECT_EQ(from_null.error().Number(), 94);
}

TEST_F(OdbcListTest, ObjectNamesItsClass) {
  ComPtr<IObjectTypeName> named = list_.As<IObjectTypeName>(IID_IObjectTypeName);
  ASSERT_TRUE(named);
  EXPECT_EQ(named->TypeName(), u"ODBCList");
}

// --- Against a scripted driver manager ----------------------------------------------------

// One answer of SQLDataSources: its code, the texts it writes and the lengths it reports
// (-1: the text's own length).
struct Answer {
  SqlReturn code;
  std::string name;
  std::string description;
  int16_t reported_name_length = -1;
};

struct ScriptedDriverManager {
  SqlReturn allocation = kSqlSuccess;
  SqlReturn version = kSqlSuccess;
  std::vector<Answer> answers;
  Answer after_last{kSqlNoData, "", ""};
  std::vector<uint16_t> directions;
  int allocated = 0;
  int freed = 0;
};

ScriptedDriverManager* scripted = nullptr;
char environment_token = 0;

SqlReturn ScriptedAllocHandle(int16_t type, SqlHandle, SqlHandle* output) {
  if (type != kSqlHandleEnvironment) return kSqlError;
  if (scripted->allocation != kSqlSuccess) return scripted->allocation;
  ++scripted->allocated;
  *output = &environment_token;
  return kSqlSuccess;
}

SqlReturn ScriptedSetAttribute(SqlHandle environment, int32_t attribute, void* value, int32_t) {
  if (environment != &environment_token || attribute != kSqlAttributeOdbcVersion) return kSqlError;
  if (reinterpret_cast<intptr_t>(value) != kSqlOdbcVersion3) return kSqlError;
  return scripted->version;
}

void CopyText(const std::string& text, unsigned char* buffer, int16_t capacity) {
  size_t copied = std::min(text.size(), static_cast<size_t>(capacity - 1));
  std::memcpy(buffer, text.data(), copied);
  buffer[copied] = 0;
}

SqlReturn ScriptedDataSources(SqlHandle environment, uint16_t direction, unsigned char* name,
                              int16_t name_capacity, int16_t* name_length,
                              unsigned char* description, int16_t description_capacity,
                              int16_t* description_length) {
  if (environment != &environment_token) return -2;
  size_t index = scripted->directions.size();
  scripted->directions.push_back(direction);
  const Answer& answer =
      index < scripted->answers.size() ? scripted->answers[index] : scripted->after_last;
  if (answer.code != kSqlSuccess && answer.code != kSqlSuccessWithInfo) return answer.code;
  CopyText(answer.name, name, name_capacity);
  CopyText(answer.description, description, description_capacity);
  *name_length = answer.reported_name_length >= 0 ? answer.reported_name_length
                                                  : static_cast<int16_t>(answer.name.size());
  *description_length = static_cast<int16_t>(answer.description.size());
  return answer.code;
}

SqlReturn ScriptedFreeHandle(int16_t type, SqlHandle handle) {
  if (type == kSqlHandleEnvironment && handle == &environment_token) ++scripted->freed;
  return kSqlSuccess;
}

constexpr DriverManagerCalls kScriptedCalls{&ScriptedAllocHandle, &ScriptedSetAttribute,
                                            &ScriptedDataSources, &ScriptedFreeHandle};

class ScriptedListTest : public testing::Test {
 protected:
  void SetUp() override { scripted = &manager_; }
  void TearDown() override { scripted = nullptr; }

  Variant List(int32_t direction, const DriverManagerCalls* calls = &kScriptedCalls) {
    return ListDataSources(calls, dictionary_.get(), direction);
  }
  bool IsTheDictionary(const Variant& result) const {
    return result.Type() == VT_DISPATCH && result.pdispVal == dictionary_.get();
  }

  ScriptedDriverManager manager_;
  ComPtr<Dictionary> dictionary_ = MakeObject<Dictionary>();
};

TEST_F(ScriptedListTest, FirstCallUsesTheDirectionAndTheRestFetchNext) {
  manager_.answers = {{kSqlSuccess, "A", "Driver A"}, {kSqlSuccess, "B", "Driver B"}};
  Variant result = List(kFetchFirstUser);
  ASSERT_TRUE(IsTheDictionary(result));
  Entries expected = {{u"A", u"Driver A"}, {u"B", u"Driver B"}};
  EXPECT_EQ(EntriesOf(dictionary_.get()), expected);
  EXPECT_EQ(manager_.directions, (std::vector<uint16_t>{31, 1, 1}));
  EXPECT_EQ(manager_.allocated, 1);
  EXPECT_EQ(manager_.freed, 1);
}

TEST_F(ScriptedListTest, NoDataAtOnceEndsWithoutAnotherCall) {
  Variant result = List(kFetchFirst);
  EXPECT_TRUE(IsTheDictionary(result));
  EXPECT_TRUE(EntriesOf(dictionary_.get()).empty());
  EXPECT_EQ(manager_.directions.size(), 1u);
  EXPECT_EQ(manager_.freed, 1);
}

TEST_F(ScriptedListTest, DriverManagerNotAvailableGivesTheEmptyDictionary) {
  Variant result = List(kFetchFirst, nullptr);
  EXPECT_TRUE(IsTheDictionary(result));
  EXPECT_TRUE(EntriesOf(dictionary_.get()).empty());
}

TEST_F(ScriptedListTest, RefusedAllocationGivesTheEmptyDictionary) {
  manager_.allocation = kSqlError;
  manager_.answers = {{kSqlSuccess, "A", "Driver A"}};
  EXPECT_TRUE(IsTheDictionary(List(kFetchFirst)));
  EXPECT_TRUE(manager_.directions.empty());
  EXPECT_EQ(manager_.freed, 0);
}

TEST_F(ScriptedListTest, RefusedVersionGivesTheEmptyDictionaryAndReleasesTheEnvironment) {
  manager_.version = kSqlError;
  manager_.answers = {{kSqlSuccess, "A", "Driver A"}};
  EXPECT_TRUE(IsTheDictionary(List(kFetchFirst)));
  EXPECT_TRUE(manager_.directions.empty());
  EXPECT_EQ(manager_.freed, 1);
}

TEST_F(ScriptedListTest, ErrorOnTheFirstCallGivesEmpty) {
  manager_.answers = {{kSqlError, "", ""}};
  EXPECT_EQ(List(kFetchFirst).Type(), VT_EMPTY);
  EXPECT_EQ(manager_.freed, 1);
}

TEST_F(ScriptedListTest, ErrorDuringTheEnumerationGivesEmpty) {
  manager_.answers = {{kSqlSuccess, "A", "Driver A"}, {kSqlError, "", ""}};
  EXPECT_EQ(List(kFetchFirst).Type(), VT_EMPTY);
  EXPECT_EQ(manager_.directions.size(), 2u);
  EXPECT_EQ(manager_.freed, 1);
}

TEST_F(ScriptedListTest, InvalidHandleCodeIsAFailureNotAnEndlessEnumeration) {
  manager_.answers = {{kSqlSuccess, "A", "Driver A"}, {-2, "", ""}};
  EXPECT_EQ(List(kFetchFirst).Type(), VT_EMPTY);
  EXPECT_EQ(manager_.directions.size(), 2u);
}

TEST_F(ScriptedListTest, SuccessWithInfoIsListed) {
  manager_.answers = {{kSqlSuccessWithInfo, "A", "Driver A"}};
  EXPECT_TRUE(IsTheDictionary(List(kFetchFirst)));
  EXPECT_EQ(EntriesOf(dictionary_.get()), (Entries{{u"A", u"Driver A"}}));
}

TEST_F(ScriptedListTest, FirstOfTwoEqualNamesWinsAndBlankNamesAreLeftOut) {
  manager_.answers = {{kSqlSuccess, "Sales", "User driver"},
                      {kSqlSuccess, "", "Nameless"},
                      {kSqlSuccess, "   ", "Spaces"},
                      {kSqlSuccess, "Sales", "System driver"},
                      {kSqlSuccess, " Stock ", ""}};
  EXPECT_TRUE(IsTheDictionary(List(kFetchFirst)));
  Entries expected = {{u"Sales", u"User driver"}, {u" Stock ", u""}};
  EXPECT_EQ(EntriesOf(dictionary_.get()), expected) << Describe(EntriesOf(dictionary_.get()));
}

TEST_F(ScriptedListTest, NamesAreTakenUpToTheReportedLength) {
  Answer answer{kSqlSuccess, "Sales_and_more", "Driver"};
  answer.reported_name_length = 5;
  manager_.answers = {answer};
  EXPECT_TRUE(IsTheDictionary(List(kFetchFirst)));
  EXPECT_EQ(EntriesOf(dictionary_.get()), (Entries{{u"Sales", u"Driver"}}));
}

TEST_F(ScriptedListTest, CutNameReportingItsFullLengthStaysInsideTheBuffer) {
  Answer answer{kSqlSuccessWithInfo, std::string(3000, 'n'), "Driver"};
  answer.reported_name_length = 3000;
  manager_.answers = {answer};
  EXPECT_TRUE(IsTheDictionary(List(kFetchFirst)));
  Entries entries = EntriesOf(dictionary_.get());
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].first, std::u16string(kBufferCharacters - 1, u'n'));
}

TEST_F(ScriptedListTest, TextIsReadInTheAnsiCodePage) {
  manager_.answers = {{kSqlSuccess, "Caf\xE9", "Pr\xFC" "fung \x80"}};
  EXPECT_TRUE(IsTheDictionary(List(kFetchFirst)));
  EXPECT_EQ(EntriesOf(dictionary_.get()), (Entries{{u"Café", u"Prüfung €"}}));
}

TEST_F(ScriptedListTest, DirectionKeepsItsSixteenBits) {
  List(-1);
  EXPECT_EQ(manager_.directions, (std::vector<uint16_t>{0xFFFF}));
}

TEST_F(ScriptedListTest, DriverManagerThatNeverEndsIsCutOff) {
  manager_.after_last = {kSqlSuccess, "Again", "Driver"};
  EXPECT_TRUE(IsTheDictionary(List(kFetchFirst)));
  EXPECT_EQ(EntriesOf(dictionary_.get()), (Entries{{u"Again", u"Driver"}}));
  EXPECT_EQ(manager_.directions.size(), static_cast<size_t>(kMaxDataSources) + 1);
}

TEST_F(ScriptedListTest, NameAlreadyInTheDictionaryKeepsItsItem) {
  Variant name = Variant::FromString(u"A");
  Variant item = Variant::FromString(u"Old");
  const VARIANT add_arguments[] = {name, item};
  ASSERT_TRUE(CallMember(dictionary_.get(), u"Add", add_arguments).ok());
  manager_.answers = {{kSqlSuccess, "A", "Driver A"}, {kSqlSuccess, "B", "Driver B"}};
  EXPECT_TRUE(IsTheDictionary(List(kFetchFirst)));
  EXPECT_EQ(EntriesOf(dictionary_.get()), (Entries{{u"A", u"Old"}, {u"B", u"Driver B"}}));
}

TEST_F(ScriptedListTest, FailingDictionaryCallsOnlySkipEntries) {
  FakeDispatch no_members(Variant{});
  manager_.answers = {{kSqlSuccess, "A", "Driver A"}, {kSqlSuccess, "B", "Driver B"}};
  Variant result = ListDataSources(&kScriptedCalls, &no_members, kFetchFirst);
  ASSERT_EQ(result.Type(), VT_DISPATCH);
  EXPECT_EQ(result.pdispVal, &no_members);
  EXPECT_EQ(manager_.directions.size(), 3u);
}

}  // namespace

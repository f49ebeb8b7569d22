#include "platform/system/registry.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/system/code_page.h"

namespace {

constexpr RegistryHive kUser = RegistryHive::CurrentUser;
constexpr RegistryHive kMachine = RegistryHive::LocalMachine;
constexpr RegistryHive kClasses = RegistryHive::ClassesRoot;

template <class T>
HRESULT HresultOf(const Result<T>& result) {
  return result.ok() ? S_OK : result.error().Hresult();
}

template <class T>
std::string Describe(const Result<T>& result) {
  if (result.ok()) return "ok";
  return TextToBytes(result.error().Description(), CP_UTF8);
}

std::u16string Utf16(const std::string& text) { return BytesToText(text, CP_UTF8); }

std::u16string Repeat(std::u16string_view part, size_t count, char16_t separator = 0) {
  std::u16string text;
  for (size_t i = 0; i < count; ++i) {
    if (i > 0 && separator != 0) text += separator;
    text += part;
  }
  return text;
}

#define EXPECT_OK(expression)                                       \
  do {                                                              \
    auto&& expect_ok_result = (expression);                         \
    EXPECT_TRUE(expect_ok_result.ok()) << Describe(expect_ok_result); \
  } while (0)

// Declares `variable` holding the value of a Result, failing the test when there is none.
#define ASSERT_VALUE(variable, expression)                             \
  auto variable##_result = (expression);                               \
  ASSERT_TRUE(variable##_result.ok()) << Describe(variable##_result);  \
  auto variable = std::move(variable##_result).value()

// Every test gets its own registry folder.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/registry_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    UseFolder(folder_);
  }

  void TearDown() override {
    ResetRegistryForTesting();
    std::error_code error;
    std::filesystem::permissions(folder_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, error);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder_, error)) {
      std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, error);
    }
    std::filesystem::remove_all(folder_, error);
  }

  static void UseFolder(const std::string& folder) {
    setenv("WENDREL_REGISTRY_DIR", folder.c_str(), 1);
    ResetRegistryForTesting();
  }

  std::string MachineFile() const { return folder_ + "/machine.db"; }
  std::string UserFile() const { return folder_ + "/user.db"; }

  std::string folder_;
};

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs SQL on a hive file behind the registry's back, as a damaged or hostile file would be.
void TamperWith(const std::string& file, const char* sql) {
  ResetRegistryForTesting();
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

using RegistryKeys = RegistryTest;
using RegistryValues = RegistryTest;
using RegistryNames = RegistryTest;
using RegistryOrder = RegistryTest;
using RegistryDelete = RegistryTest;
using RegistryAccessRights = RegistryTest;
using RegistryClassesRoot = RegistryTest;
using RegistryReadOnly = RegistryTest;
using RegistryPaths = RegistryTest;
using RegistryConcurrency = RegistryTest;
using RegistryFiles = RegistryTest;

// ---------------------------------------------------------------------------------------------

TEST_F(RegistryKeys, CreateMakesMissingParents) {
  EXPECT_OK(RegistryKey::Create(kUser, u"Software\\Vendor\\Product"));
  const std::u16string_view paths[] = {u"Software", u"Software\\Vendor",
                                       u"Software\\Vendor\\Product"};
  for (std::u16string_view path : paths) {
    SCOPED_TRACE(TextToBytes(path, CP_UTF8));
    ASSERT_VALUE(key, RegistryKey::Open(kUser, path));
    EXPECT_EQ(key.path(), path);
    EXPECT_EQ(key.hive(), kUser);
  }
}

TEST_F(RegistryKeys, OpenOfMissingKeyIsNotFound) {
  EXPECT_OK(RegistryKey::Create(kUser, u"A"));
  EXPECT_EQ(HresultOf(RegistryKey::Open(kUser, u"B")), kRegistryNotFound);
  EXPECT_EQ(HresultOf(RegistryKey::Open(kUser, u"A\\B")), kRegistryNotFound);
}

TEST_F(RegistryKeys, EmptyHiveReadsAsRootOnlyAndCreatesNoFile) {
  ASSERT_VALUE(root, RegistryKey::Open(kMachine, u""));
  EXPECT_EQ(root.path(), u"");
  ASSERT_VALUE(values, root.Values());
  EXPECT_TRUE(values.empty());
  ASSERT_VALUE(names, root.SubKeyNames());
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(HresultOf(root.Query(u"")), kRegistryNotFound);
  EXPECT_EQ(HresultOf(RegistryKey::Open(kMachine, u"A")), kRegistryNotFound);
  EXPECT_EQ(HresultOf(RegistryKey::DeleteKey(kMachine, u"A")), kRegistryNotFound);
  EXPECT_FALSE(Exists(MachineFile()));
}

TEST_F(RegistryKeys, SubKeysOpenAndCreateBelowTheirKey) {
  ASSERT_VALUE(top, RegistryKey::Create(kUser, u"Top"));
  ASSERT_VALUE(deep, top.CreateSubKey(u"Middle\\Bottom"));
  EXPECT_EQ(deep.path(), u"Top\\Middle\\Bottom");
  EXPECT_OK(RegistryKey::Open(kUser, u"Top\\Middle\\Bottom"));
  ASSERT_VALUE(middle, top.OpenSubKey(u"Middle"));
  EXPECT_EQ(middle.path(), u"Top\\Middle");
  ASSERT_VALUE(same, top.OpenSubKey(u""));
  EXPECT_EQ(same.path(), u"Top");
  EXPECT_EQ(HresultOf(top.OpenSubKey(u"Missing")), kRegistryNotFound);
}

TEST_F(RegistryKeys, HivesAreSeparate) {
  EXPECT_OK(RegistryKey::Create(kUser, u"OnlyUser"));
  EXPECT_EQ(HresultOf(RegistryKey::Open(kMachine, u"OnlyUser")), kRegistryNotFound);
  EXPECT_TRUE(Exists(UserFile()));
  EXPECT_FALSE(Exists(MachineFile()));
}

// ---------------------------------------------------------------------------------------------

TEST_F(RegistryValues, StringsAndNumbersRoundTrip) {
  struct Case {
    std::u16string name;
    uint32_t type;
    std::u16string text;
    uint32_t number;
  } cases[] = {
      {u"", REG_SZ, u"default value", 0},
      {u"Empty", REG_SZ, u"", 0},
      {u"Unicode \u00E9", REG_SZ, u"\u00E9\u20AC\U0001F600", 0},
      {u"Embedded null", REG_SZ, std::u16string(u"a\0b", 3), 0},
      {u"Zero", REG_DWORD, u"", 0},
      {u"Largest", REG_DWORD, u"", 0xFFFFFFFFu},
      {u"Path\\Like", REG_DWORD, u"", 42},
  };
  ASSERT_VALUE(key, RegistryKey::Create(kUser, u"Values"));
  for (const Case& c : cases) {
    if (c.type == REG_SZ) EXPECT_OK(key.SetString(c.name, c.text));
    if (c.type == REG_DWORD) EXPECT_OK(key.SetNumber(c.name, c.number));
  }
  ResetRegistryForTesting();  // read back from the file, not from a cache
  for (const Case& c : cases) {
    SCOPED_TRACE(TextToBytes(c.name, CP_UTF8));
    ASSERT_VALUE(value, key.Query(c.name));
    EXPECT_EQ(value.name, c.name);
    EXPECT_EQ(value.type, c.type);
    EXPECT_EQ(value.text, c.text);
    EXPECT_EQ(value.number, c.number);
  }
}

TEST_F(RegistryValues, DefaultValueIsTheEmptyName) {
  ASSERT_VALUE(key, RegistryKey::Create(kUser, u"K"));
  EXPECT_EQ(HresultOf(key.Query(u"")), kRegistryNotFound);
  EXPECT_OK(key.SetString(u"", u"default"));
  ASSERT_VALUE(values, key.Values());
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(values[0].name, u"");
  EXPECT_EQ(values[0].text, u"default");
}

TEST_F(RegistryValues, OverwriteChangesTypeAndKeepsPosition) {
  ASSERT_VALUE(key, RegistryKey::Create(kUser, u"K"));
  EXPECT_OK(key.SetNumber(u"First", 7));
  EXPECT_OK(key.SetString(u"Second", u"text"));
  EXPECT_OK(key.SetString(u"First", u"now text"));
  EXPECT_OK(key.SetNumber(u"Second", 9));
  ASSERT_VALUE(values, key.Values());
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0].name, u"First");
  EXPECT_EQ(values[0].type, REG_SZ);
  EXPECT_EQ(values[0].text, u"now text");
  EXPECT_EQ(values[1].name, u"Second");
  EXPECT_EQ(values[1].type, REG_DWORD);
  EXPECT_EQ(values[1].number, 9u);
  EXPECT_EQ(values[1].text, u"");
}

TEST_F(RegistryValues, DeleteValueRemovesOnlyThatValue) {
  ASSERT_VALUE(key, RegistryKey::Create(kUser, u"K"));
  EXPECT_OK(key.SetString(u"Keep", u"1"));
  EXPECT_OK(key.SetString(u"Drop", u"2"));
  EXPECT_OK(key.DeleteValue(u"DROP"));
  EXPECT_EQ(HresultOf(key.Query(u"Drop")), kRegistryNotFound);
  EXPECT_OK(key.Query(u"Keep"));
  EXPECT_EQ(HresultOf(key.DeleteValue(u"Drop")), kRegistryNotFound);
}

TEST_F(RegistryValues, SurviveReset) {
  ASSERT_VALUE(key, RegistryKey::Create(kMachine, u"Persist"));
  EXPECT_OK(key.SetNumber(u"Count", 5));
  ResetRegistryForTesting();
  ASSERT_VALUE(again, RegistryKey::Open(kMachine, u"Persist"));
  ASSERT_VALUE(value, again.Query(u"Count"));
  EXPECT_EQ(value.number, 5u);
}

TEST_F(RegistryValues, ResetReadsTheFolderAgain) {
  EXPECT_OK(RegistryKey::Create(kUser, u"InFirst"));
  char pattern[] = "/tmp/registry_test_other.XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  std::string other = pattern;
  UseFolder(other);
  EXPECT_EQ(HresultOf(RegistryKey::Open(kUser, u"InFirst")), kRegistryNotFound);
  UseFolder(folder_);
  EXPECT_OK(RegistryKey::Open(kUser, u"InFirst"));
  std::filesystem::remove_all(other);
}

// ---------------------------------------------------------------------------------------------

TEST_F(RegistryNames, KeyNamesIgnoreCaseAndKeepTheFirstSpelling) {
  ASSERT_VALUE(first, RegistryKey::Create(kUser, u"Software\\MyApp"));
  ASSERT_VALUE(second, RegistryKey::Create(kUser, u"SOFTWARE\\myapp"));
  EXPECT_OK(second.SetString(u"Name", u"shared"));
  ASSERT_VALUE(value, first.Query(u"name"));
  EXPECT_EQ(value.text, u"shared");
  ASSERT_VALUE(root, RegistryKey::Open(kUser, u""));
  EXPECT_EQ(root.SubKeyNames().value(), std::vector<std::u16string>{u"Software"});
  ASSERT_VALUE(software, RegistryKey::Open(kUser, u"software"));
  EXPECT_EQ(software.SubKeyNames().value(), std::vector<std::u16string>{u"MyApp"});
}

TEST_F(RegistryNames, ValueNamesIgnoreCaseAndKeepTheFirstSpelling) {
  ASSERT_VALUE(key, RegistryKey::Create(kUser, u"K"));
  EXPECT_OK(key.SetString(u"Color", u"red"));
  EXPECT_OK(key.SetString(u"COLOR", u"blue"));
  ASSERT_VALUE(values, key.Values());
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(values[0].name, u"Color");
  EXPECT_EQ(values[0].text, u"blue");
}

TEST_F(RegistryNames, NonAsciiNamesRoundTrip) {
  ASSERT_VALUE(key, RegistryKey::Create(kUser, u"Caf\u00E9\\\u4E2D\u6587"));
  EXPECT_OK(key.SetNumber(u"\u00FCber", 1));
  ResetRegistryForTesting();
  ASSERT_VALUE(cafe, RegistryKey::Open(kUser, u"Caf\u00E9"));
  EXPECT_EQ(cafe.SubKeyNames().value(), std::vector<std::u16string>{u"\u4E2D\u6587"});
  ASSERT_VALUE(again, cafe.OpenSubKey(u"\u4E2D\u6587"));
  EXPECT_EQ(again.Values().value().at(0).name, u"\u00FCber");
}

// ---------------------------------------------------------------------------------------------

TEST_F(RegistryOrder, ValuesAndSubKeysComeInTheOrderFirstWritten) {
  ASSERT_VALUE(key, RegistryKey::Create(kUser, u"K"));
  for (std::u16string_view name : {u"zeta", u"Alpha", u"mid"}) {
    EXPECT_OK(key.SetString(name, u"x"));
    EXPECT_OK(key.CreateSubKey(name));
  }
  EXPECT_OK(key.SetString(u"ZETA", u"overwritten"));  // the same value: keeps its place
  EXPECT_OK(key.DeleteValue(u"Alpha"));
  EXPECT_OK(key.SetString(u"Alpha", u"again"));  // a new value: last
  ASSERT_VALUE(values, key.Values());
  std::vector<std::u16string> value_names;
  for (const RegistryValue& value : values) value_names.push_back(value.name);
  EXPECT_EQ(value_names, (std::vector<std::u16string>{u"zeta", u"mid", u"Alpha"}));
  EXPECT_EQ(key.SubKeyNames().value(), (std::vector<std::u16string>{u"zeta", u"Alpha", u"mid"}));
}

// ---------------------------------------------------------------------------------------------

TEST_F(RegistryDelete, DeleteKeyRefusesAKeyWithSubKeys) {
  EXPECT_OK(RegistryKey::Create(kUser, u"A\\B"));
  EXPECT_EQ(HresultOf(RegistryKey::DeleteKey(kUser, u"A")), kRegistryHasSubKeys);
  EXPECT_OK(RegistryKey::Open(kUser, u"A\\B"));
  EXPECT_OK(RegistryKey::DeleteKey(kUser, u"a\\b"));
  EXPECT_OK(RegistryKey::DeleteKey(kUser, u"A"));
  EXPECT_EQ(HresultOf(RegistryKey::Open(kUser, u"A")), kRegistryNotFound);
}

TEST_F(RegistryDelete, DeleteKeyTakesItsValues) {
  ASSERT_VALUE(key, RegistryKey::Create(kUser, u"A"));
  EXPECT_OK(key.SetString(u"V", u"x"));
  EXPECT_OK(RegistryKey::DeleteKey(kUser, u"A"));
  ASSERT_VALUE(again, RegistryKey::Create(kUser, u"A"));
  EXPECT_TRUE(again.Values().value().empty());
}

TEST_F(RegistryDelete, DeleteTreeRemovesEverythingBelow) {
  for (std::u16string_view path : {u"A", u"A\\B", u"A\\B\\C", u"A\\D", u"Z"}) {
    ASSERT_VALUE(key, RegistryKey::Create(kUser, path));
    EXPECT_OK(key.SetString(u"V", path));
  }
  EXPECT_OK(RegistryKey::DeleteTree(kUser, u"A"));
  EXPECT_EQ(HresultOf(RegistryKey::Open(kUser, u"A")), kRegistryNotFound);
  ASSERT_VALUE(recreated, RegistryKey::Create(kUser, u"A\\B\\C"));
  EXPECT_TRUE(recreated.Values().value().empty());
  ASSERT_VALUE(sibling, RegistryKey::Open(kUser, u"Z"));
  EXPECT_EQ(sibling.Query(u"V").value().text, u"Z");
}

TEST_F(RegistryDelete, MissingKeysAndHiveRootsAreRefused) {
  EXPECT_OK(RegistryKey::Create(kUser, u"A"));
  EXPECT_EQ(HresultOf(RegistryKey::DeleteKey(kUser, u"Missing")), kRegistryNotFound);
  EXPECT_EQ(HresultOf(RegistryKey::DeleteTree(kUser, u"Missing")), kRegistryNotFound);
  for (RegistryHive hive : {kUser, kMachine, kClasses}) {
    SCOPED_TRACE(static_cast<int>(hive));
    EXPECT_EQ(HresultOf(RegistryKey::DeleteKey(hive, u"")), kRegistryAccessDenied);
    EXPECT_EQ(HresultOf(RegistryKey::DeleteTree(hive, u"")), kRegistryAccessDenied);
  }
  EXPECT_OK(RegistryKey::Open(kUser, u"A"));
}

TEST_F(RegistryDelete, HandleOfADeletedKeyFailsEveryCall) {
  ASSERT_VALUE(key, RegistryKey::Create(kUser, u"Parent\\Gone"));
  EXPECT_OK(key.SetString(u"V", u"x"));
  EXPECT_OK(RegistryKey::DeleteKey(kUser, u"Parent\\Gone"));
  // Reusing the name makes a new key; the old handle must not find it.
  ASSERT_VALUE(successor, RegistryKey::Create(kUser, u"Parent\\Gone"));
  EXPECT_OK(successor.SetString(u"V", u"new"));
  const std::pair<const char*, std::function<HRESULT()>> calls[] = {
      {"Query", [&] { return HresultOf(key.Query(u"V")); }},
      {"Values", [&] { return HresultOf(key.Values()); }},
      {"SubKeyNames", [&] { return HresultOf(key.SubKeyNames()); }},
      {"SetString", [&] { return HresultOf(key.SetString(u"V", u"y")); }},
      {"SetNumber", [&] { return HresultOf(key.SetNumber(u"N", 1)); }},
      {"DeleteValue", [&] { return HresultOf(key.DeleteValue(u"V")); }},
      {"OpenSubKey", [&] { return HresultOf(key.OpenSubKey(u"")); }},
      {"CreateSubKey", [&] { return HresultOf(key.CreateSubKey(u"Child")); }},
  };
  for (const auto& [name, call] : calls) {
    SCOPED_TRACE(name);
    EXPECT_EQ(call(), kRegistryNotFound);
  }
  EXPECT_EQ(successor.Query(u"V").value().text, u"new");
}

// ---------------------------------------------------------------------------------------------

TEST_F(RegistryAccessRights, ReadHandlesRefuseWrites) {
  ASSERT_VALUE(writer, RegistryKey::Create(kUser, u"K"));
  EXPECT_OK(writer.SetString(u"V", u"original"));
  ASSERT_VALUE(opened, RegistryKey::Open(kUser, u"K"));
  ASSERT_VALUE(created, RegistryKey::Create(kUser, u"K", RegistryAccess::Read));
  for (const RegistryKey& reader : {opened, created}) {
    EXPECT_EQ(HresultOf(reader.SetString(u"V", u"changed")), kRegistryAccessDenied);
    EXPECT_EQ(HresultOf(reader.SetNumber(u"N", 1)), kRegistryAccessDenied);
    EXPECT_EQ(HresultOf(reader.DeleteValue(u"V")), kRegistryAccessDenied);
  }
  EXPECT_EQ(writer.Query(u"V").value().text, u"original");
  EXPECT_EQ(writer.Values().value().size(), 1u);
}

TEST_F(RegistryAccessRights, SubKeyOfAReadHandleMayBeOpenedForWriting) {
  EXPECT_OK(RegistryKey::Create(kUser, u"K\\Sub"));
  ASSERT_VALUE(reader, RegistryKey::Open(kUser, u"K"));
  ASSERT_VALUE(sub, reader.OpenSubKey(u"Sub", RegistryAccess::ReadWrite));
  EXPECT_OK(sub.SetNumber(u"N", 3));
}

// ---------------------------------------------------------------------------------------------

TEST_F(RegistryClassesRoot, UserKeyOverridesMachineKey) {
  ASSERT_VALUE(machine, RegistryKey::Create(kMachine, u"Software\\Classes\\.txt"));
  EXPECT_OK(machine.SetString(u"", u"machine"));
  ASSERT_VALUE(user, RegistryKey::Create(kUser, u"Software\\Classes\\.TXT"));
  EXPECT_OK(user.SetString(u"", u"user"));
  ASSERT_VALUE(merged, RegistryKey::Open(kClasses, u".txt"));
  EXPECT_EQ(merged.hive(), kUser);
  EXPECT_EQ(merged.path(), u"Software\\Classes\\.txt");
  EXPECT_EQ(merged.Query(u"").value().text, u"user");
}

TEST_F(RegistryClassesRoot, FallsBackToMachineKey) {
  ASSERT_VALUE(machine, RegistryKey::Create(kMachine, u"Software\\Classes\\Some.Prog\\CLSID"));
  EXPECT_OK(machine.SetString(u"", u"{1}"));
  EXPECT_OK(RegistryKey::Create(kUser, u"Software\\Classes\\Other"));
  ASSERT_VALUE(merged, RegistryKey::Open(kClasses, u"Some.Prog\\CLSID"));
  EXPECT_EQ(merged.hive(), kMachine);
  EXPECT_EQ(merged.Query(u"").value().text, u"{1}");
  EXPECT_EQ(HresultOf(RegistryKey::Open(kClasses, u"Nowhere")), kRegistryNotFound);
}

TEST_F(RegistryClassesRoot, CreateGoesToMachineUnlessTheUserHasTheKey) {
  ASSERT_VALUE(fresh, RegistryKey::Create(kClasses, u"New.Class"));
  EXPECT_EQ(fresh.hive(), kMachine);
  EXPECT_OK(RegistryKey::Open(kMachine, u"Software\\Classes\\New.Class"));
  EXPECT_EQ(HresultOf(RegistryKey::Open(kUser, u"Software\\Classes\\New.Class")),
            kRegistryNotFound);

  EXPECT_OK(RegistryKey::Create(kUser, u"Software\\Classes\\Mine"));
  ASSERT_VALUE(mine, RegistryKey::Create(kClasses, u"Mine"));
  EXPECT_EQ(mine.hive(), kUser);
  EXPECT_EQ(HresultOf(RegistryKey::Open(kMachine, u"Software\\Classes\\Mine")),
            kRegistryNotFound);
}

TEST_F(RegistryClassesRoot, DeleteRemovesTheKeyFromBothHives) {
  EXPECT_OK(RegistryKey::Create(kUser, u"Software\\Classes\\Both"));
  EXPECT_OK(RegistryKey::Create(kMachine, u"Software\\Classes\\Both\\Sub"));
  EXPECT_OK(RegistryKey::Create(kMachine, u"Software\\Classes\\MachineOnly"));
  // The machine's copy has a sub-key: nothing is deleted, not even the user's copy.
  EXPECT_EQ(HresultOf(RegistryKey::DeleteKey(kClasses, u"Both")), kRegistryHasSubKeys);
  EXPECT_OK(RegistryKey::Open(kUser, u"Software\\Classes\\Both"));
  EXPECT_OK(RegistryKey::DeleteTree(kClasses, u"Both"));
  EXPECT_EQ(HresultOf(RegistryKey::Open(kUser, u"Software\\Classes\\Both")), kRegistryNotFound);
  EXPECT_EQ(HresultOf(RegistryKey::Open(kMachine, u"Software\\Classes\\Both")),
            kRegistryNotFound);
  EXPECT_OK(RegistryKey::DeleteKey(kClasses, u"MachineOnly"));
  EXPECT_EQ(HresultOf(RegistryKey::DeleteKey(kClasses, u"MachineOnly")), kRegistryNotFound);
}

// ---------------------------------------------------------------------------------------------

TEST_F(RegistryReadOnly, MachineFileWithoutWriteBitRefusesWritesButReads) {
  ASSERT_VALUE(key, RegistryKey::Create(kMachine, u"Settings"));
  EXPECT_OK(key.SetString(u"Port", u"80"));
  ASSERT_EQ(chmod(MachineFile().c_str(), 0444), 0);
  for (bool reopened : {false, true}) {
    SCOPED_TRACE(reopened ? "reopened read-only" : "connection still open");
    if (reopened) ResetRegistryForTesting();
    EXPECT_EQ(HresultOf(key.SetString(u"Port", u"81")), kRegistryAccessDenied);
    EXPECT_EQ(HresultOf(RegistryKey::Create(kMachine, u"Other")), kRegistryAccessDenied);
    EXPECT_EQ(HresultOf(RegistryKey::Create(kMachine, u"Settings")), kRegistryAccessDenied);
    EXPECT_EQ(HresultOf(RegistryKey::Open(kMachine, u"Settings", RegistryAccess::ReadWrite)),
              kRegistryAccessDenied);
    EXPECT_EQ(HresultOf(RegistryKey::DeleteKey(kMachine, u"Settings")), kRegistryAccessDenied);
    ASSERT_VALUE(reader, RegistryKey::Create(kMachine, u"Settings", RegistryAccess::Read));
    EXPECT_EQ(reader.Query(u"Port").value().text, u"80");
    EXPECT_OK(RegistryKey::Create(kUser, u"UserStillWritable"));
  }
  ASSERT_EQ(chmod(MachineFile().c_str(), 0644), 0);
  EXPECT_OK(key.SetString(u"Port", u"82"));  // writable again without a reset
}

TEST_F(RegistryReadOnly, FolderWithoutWriteBitRefusesTheFirstWrite) {
  ASSERT_EQ(chmod(folder_.c_str(), 0555), 0);
  EXPECT_EQ(HresultOf(RegistryKey::Create(kMachine, u"A")), kRegistryAccessDenied);
  ASSERT_VALUE(root, RegistryKey::Open(kMachine, u"", RegistryAccess::Read));
  EXPECT_EQ(HresultOf(root.Values()), S_OK);
  EXPECT_EQ(HresultOf(RegistryKey::Open(kMachine, u"", RegistryAccess::ReadWrite)),
            kRegistryAccessDenied);
  EXPECT_EQ(HresultOf(RegistryKey::Open(kMachine, u"A")), kRegistryNotFound);
  EXPECT_FALSE(Exists(MachineFile()));
}

TEST_F(RegistryReadOnly, FolderThatCannotBeCreatedRefusesWrites) {
  std::string locked = folder_ + "/locked";
  ASSERT_EQ(mkdir(locked.c_str(), 0555), 0);
  UseFolder(locked + "/registry");
  EXPECT_EQ(HresultOf(RegistryKey::Create(kUser, u"A")), kRegistryAccessDenied);
  EXPECT_FALSE(Exists(locked + "/registry"));
}

TEST_F(RegistryReadOnly, FirstWriteCreatesAPrivateFolder) {
  std::string nested = folder_ + "/one/two";
  UseFolder(nested);
  EXPECT_FALSE(Exists(nested));
  EXPECT_OK(RegistryKey::Create(kUser, u"A"));
  struct stat status;
  ASSERT_EQ(stat(nested.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0700u);
  EXPECT_TRUE(Exists(nested + "/user.db"));
}

// ---------------------------------------------------------------------------------------------

TEST_F(RegistryPaths, MalformedPathsAreRefused) {
  std::u16string with_null = std::u16string(u"A\0B", 3);
  const std::u16string paths[] = {
      u"\\A", u"A\\", u"A\\\\B", u"\\", Repeat(u"n", kMaxRegistryNameLength + 1),
      Repeat(u"k", kMaxRegistryDepth + 1, u'\\'), with_null,
  };
  ASSERT_VALUE(key, RegistryKey::Create(kUser, u"K"));
  for (const std::u16string& path : paths) {
    SCOPED_TRACE(TextToBytes(path.substr(0, 40), CP_UTF8));
    EXPECT_EQ(HresultOf(RegistryKey::Create(kUser, path)), kRegistryInvalidName);
    EXPECT_EQ(HresultOf(RegistryKey::Open(kMachine, path)), kRegistryInvalidName);
    EXPECT_EQ(HresultOf(RegistryKey::Create(kClasses, path)), kRegistryInvalidName);
    EXPECT_EQ(HresultOf(RegistryKey::DeleteTree(kUser, path)), kRegistryInvalidName);
    EXPECT_EQ(HresultOf(key.CreateSubKey(path)), kRegistryInvalidName);
  }
  EXPECT_TRUE(key.SubKeyNames().value().empty());
}

TEST_F(RegistryPaths, LimitsAreInclusive) {
  EXPECT_OK(RegistryKey::Create(kUser, Repeat(u"n", kMaxRegistryNameLength)));
  std::u16string deepest = Repeat(u"k", kMaxRegistryDepth, u'\\');
  EXPECT_OK(RegistryKey::Create(kUser, deepest));
  // ClassesRoot paths sit two levels down, in Software\Classes.
  EXPECT_OK(RegistryKey::Create(kClasses, Repeat(u"c", kMaxRegistryDepth - 2, u'\\')));
  EXPECT_EQ(HresultOf(RegistryKey::Create(kClasses, Repeat(u"c", kMaxRegistryDepth - 1, u'\\'))),
            kRegistryInvalidName);
  // Sub-key paths count from the top of the hive.
  ASSERT_VALUE(almost, RegistryKey::Open(kUser, Repeat(u"k", kMaxRegistryDepth - 1, u'\\')));
  EXPECT_OK(almost.OpenSubKey(u"k"));
  EXPECT_EQ(HresultOf(almost.CreateSubKey(u"k\\k")), kRegistryInvalidName);
}

TEST_F(RegistryPaths, ValueNamesAndDataHaveLimits) {
  ASSERT_VALUE(key, RegistryKey::Create(kUser, u"K"));
  constexpr size_t kLongestName = 16383;
  constexpr size_t kLongestText = kMaxRegistryValueBytes / sizeof(char16_t);
  EXPECT_OK(key.SetNumber(Repeat(u"v", kLongestName), 1));
  EXPECT_EQ(HresultOf(key.SetNumber(Repeat(u"v", kLongestName + 1), 1)), kRegistryInvalidName);
  EXPECT_EQ(HresultOf(key.Query(Repeat(u"v", kLongestName + 1))), kRegistryInvalidName);
  EXPECT_EQ(HresultOf(key.SetNumber(std::u16string(u"a\0b", 3), 1)), kRegistryInvalidName);
  EXPECT_OK(key.SetString(u"Big", std::u16string(kLongestText, u'x')));
  EXPECT_EQ(HresultOf(key.SetString(u"Bigger", std::u16string(kLongestText + 1, u'x'))),
            kRegistryInvalidName);
  EXPECT_EQ(key.Query(u"Big").value().text.size(), kLongestText);
  EXPECT_EQ(key.Values().value().size(), 2u);
}

// ---------------------------------------------------------------------------------------------

// Writes `count` numbered values into its own key; false on the first failure.
bool WriteNumbered(RegistryHive hive, const std::u16string& key_path, int count) {
  Result<RegistryKey> key = RegistryKey::Create(hive, key_path);
  if (!key.ok()) return false;
  for (int i = 0; i < count; ++i) {
    if (!key.value().SetNumber(Utf16("Value" + std::to_string(i)), static_cast<uint32_t>(i)).ok()) {
      return false;
    }
  }
  return true;
}

void ExpectNumbered(RegistryHive hive, const std::u16string& key_path, int count) {
  SCOPED_TRACE(TextToBytes(key_path, CP_UTF8));
  ASSERT_VALUE(key, RegistryKey::Open(hive, key_path));
  ASSERT_VALUE(values, key.Values());
  ASSERT_EQ(values.size(), static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    EXPECT_EQ(values[i].name, Utf16("Value" + std::to_string(i)));
    EXPECT_EQ(values[i].number, static_cast<uint32_t>(i));
  }
}

TEST_F(RegistryConcurrency, TwoProcessesWritingAtOnceBothSucceed) {
  constexpr int kCount = 200;
  // The parent's open connection is inherited by the children, which must not use it.
  EXPECT_OK(RegistryKey::Create(kUser, u"Parent"));
  pid_t children[2];
  for (int child = 0; child < 2; ++child) {
    children[child] = fork();
    ASSERT_GE(children[child], 0);
    if (children[child] == 0) {
      bool ok = WriteNumbered(kUser, Utf16("Child" + std::to_string(child)), kCount);
      _exit(ok ? 0 : 1);
    }
  }
  EXPECT_TRUE(WriteNumbered(kUser, u"Parent", 50));
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
  }
  ExpectNumbered(kUser, u"Child0", kCount);
  ExpectNumbered(kUser, u"Child1", kCount);
  ExpectNumbered(kUser, u"Parent", 50);
  ResetRegistryForTesting();
  ExpectNumbered(kUser, u"Child1", kCount);
}

TEST_F(RegistryConcurrency, ThreadsWritingAtOnceAllSucceed) {
  constexpr int kThreads = 4;
  constexpr int kCount = 100;
  bool results[kThreads] = {};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &results] {
      results[t] = WriteNumbered(kMachine, Utf16("Thread" + std::to_string(t)), kCount);
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_TRUE(results[t]) << "thread " << t;
    ExpectNumbered(kMachine, Utf16("Thread" + std::to_string(t)), kCount);
  }
}

// ---------------------------------------------------------------------------------------------

TEST_F(RegistryFiles, FileThatIsNotADatabaseFailsCleanly) {
  const std::string garbage(600, 'G');
  std::ofstream(MachineFile(), std::ios::binary) << garbage;
  Result<RegistryKey> opened = RegistryKey::Open(kMachine, u"A");
  EXPECT_EQ(HresultOf(opened), E_FAIL);
  EXPECT_NE(Describe(opened).find("machine.db"), std::string::npos) << Describe(opened);
  EXPECT_EQ(HresultOf(RegistryKey::Create(kMachine, u"A")), E_FAIL);
  EXPECT_EQ(HresultOf(RegistryKey::Open(kClasses, u"A")), E_FAIL);
  EXPECT_EQ(ReadFile(MachineFile()), garbage);
  EXPECT_OK(RegistryKey::Create(kUser, u"A"));
}

TEST_F(RegistryFiles, DatabaseWithoutRegistryTablesFailsCleanly) {
  TamperWith(MachineFile(), "CREATE TABLE other(x)");
  ASSERT_EQ(chmod(MachineFile().c_str(), 0444), 0);  // read-only: the tables cannot be added
  Result<RegistryKey> opened = RegistryKey::Open(kMachine, u"A");
  EXPECT_EQ(HresultOf(opened), E_FAIL);
  EXPECT_NE(Describe(opened).find("registry"), std::string::npos) << Describe(opened);
}

TEST_F(RegistryFiles, ValueOfUnknownTypeFailsCleanly) {
  ASSERT_VALUE(key, RegistryKey::Create(kMachine, u"K"));
  EXPECT_OK(key.SetString(u"V", u"x"));
  TamperWith(MachineFile(), "UPDATE registry_values SET type = 7");
  EXPECT_EQ(HresultOf(key.Query(u"V")), E_FAIL);
  EXPECT_EQ(HresultOf(key.Values()), E_FAIL);
}

TEST_F(RegistryFiles, LoopBackToTheRootDoesNotDeleteTheHive) {
  EXPECT_OK(RegistryKey::Create(kMachine, u"A"));
  EXPECT_OK(RegistryKey::Create(kMachine, u"Z"));
  // Key 0 under A makes the root (whose parent is 0) a descendant of A.
  TamperWith(MachineFile(),
             "INSERT INTO registry_keys(id, parent, name)"
             " SELECT 0, id, 'Loop' FROM registry_keys WHERE name = 'A'");
  EXPECT_OK(RegistryKey::DeleteTree(kMachine, u"A"));
  EXPECT_OK(RegistryKey::Open(kMachine, u"Z"));
  EXPECT_EQ(HresultOf(RegistryKey::Open(kMachine, u"A")), kRegistryNotFound);
}

}  // namespace

#include "wendrel/logging/config_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/system/code_page.h"
#include "platform/system/profile_file.h"
#include "platform/system/registry.h"
#include "tests/support/temporary_registry.h"

#include "tests/support/file_bytes.h"

namespace {

namespace fs = std::filesystem;

constexpr RegistryHive kUser = RegistryHive::CurrentUser;
constexpr RegistryHive kMachine = RegistryHive::LocalMachine;

using test_support::HresultOf;
using test_support::ReadBytes;
using test_support::WriteBytes;

/// A configuration where every value differs from the defaults.
ServerConfiguration FullConfiguration() {
  ServerConfiguration c;
  c.default_directory = "/srv/www";
  c.default_document = "start.asp";
  c.always_close = 0;
  c.disable_upload = 1;
  c.log_level = 2;
  c.log_path = "/var/log/wendrel";
  c.max_threads = 40;
  c.max_upload_size = 65536;
  c.port = 8080;
  c.process_default = 0;
  c.virtual_dirs = {{"/docs/", "/srv/docs"}, {"/img/", "/srv/images"}};
  c.host_ids = {{"intranet", "/srv/intra"}};
  c.mime_types = {{".pdf", "application/pdf"}, {".svg", "image/svg+xml"}};
  c.server_bind = "127.0.0.1";
  c.upload_dir = "/srv/uploads";
  c.enable_asp_debug = -1;
  c.script_language = "JScript";
  return c;
}

/// Every value and list the load found equals the saved configuration.
void ExpectReproduces(const LoadedConfiguration& loaded, const ServerConfiguration& saved) {
  EXPECT_TRUE(loaded.any_found);
  EXPECT_EQ(loaded.default_directory, saved.default_directory);
  EXPECT_EQ(loaded.default_document, saved.default_document);
  EXPECT_EQ(loaded.always_close, saved.always_close);
  EXPECT_EQ(loaded.disable_upload, saved.disable_upload);
  EXPECT_EQ(loaded.log_level, saved.log_level);
  EXPECT_EQ(loaded.log_path, saved.log_path);
  EXPECT_EQ(loaded.max_threads, saved.max_threads);
  EXPECT_EQ(loaded.max_upload_size, saved.max_upload_size);
  EXPECT_EQ(loaded.port, saved.port);
  EXPECT_EQ(loaded.process_default, saved.process_default);
  EXPECT_EQ(loaded.virtual_dirs, saved.virtual_dirs);
  EXPECT_EQ(loaded.host_ids, saved.host_ids);
  EXPECT_EQ(loaded.mime_types, saved.mime_types);
  EXPECT_EQ(loaded.server_bind, saved.server_bind);
  EXPECT_EQ(loaded.script_language, saved.script_language);
  EXPECT_EQ(loaded.upload_dir, saved.upload_dir);
  EXPECT_EQ(loaded.enable_asp_debug, saved.enable_asp_debug);
}

class ConfigStore : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "config-XXXXXX").string();
    folder_ = mkdtemp(pattern.data());
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  std::string PathOf(const std::string& name) const { return folder_ + "/" + name; }

  TemporaryRegistry registry_;
  std::string folder_;
};

// ---------------------------------------------------------------------------------------------
// Locations

TEST(ConfigLocation, EachFormNamesItsStore) {
  using Kind = ConfigurationStoreKind;
  struct Case {
    const char* location;
    Kind kind;
    const char* path;  // file path or key path
    RegistryHive hive;
  };
  const Case cases[] = {
      {"file://C:\\cfg\\srv.ini", Kind::ProfileFile, "C:\\cfg\\srv.ini", kUser},
      {"FILE:///etc/wendrel.ini", Kind::ProfileFile, "/etc/wendrel.ini", kUser},
      {"HKCU\\Software\\Example\\Web", Kind::Registry, "Software\\Example\\Web", kUser},
      {"hklm\\Software\\Web", Kind::Registry, "Software\\Web", kMachine},
      {"HkCr\\Web.Config", Kind::Registry, "Web.Config", RegistryHive::ClassesRoot},
      {"HKCU\\C:\\odd", Kind::Registry, "C:\\odd", kUser},
      {"C:\\cfg\\srv.ini", Kind::ProfileFile, "C:\\cfg\\srv.ini", kUser},
      {"/abs/path/srv.ini", Kind::ProfileFile, "/abs/path/srv.ini", kUser},
      {"Software\\Example\\Web", Kind::Registry, "Software\\Example\\Web", kUser},
      {"relative.ini", Kind::Registry, "relative.ini", kUser},
      {"HKCU", Kind::Registry, "HKCU", kUser},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.location);
    ConfigurationLocation parsed = ParseConfigurationLocation(c.location);
    EXPECT_EQ(parsed.kind, c.kind);
    if (c.kind == Kind::ProfileFile) {
      EXPECT_EQ(parsed.file_path, c.path);
    } else {
      EXPECT_EQ(parsed.key_path, c.path);
      EXPECT_EQ(parsed.hive, c.hive);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Profile files

TEST_F(ConfigStore, SaveWritesTheSettingsInOrderAndEachListAsASection) {
  std::string path = PathOf("srv.ini");
  ASSERT_TRUE(SaveConfiguration("file://" + path, FullConfiguration()));
  EXPECT_EQ(ReadBytes(path),
            "[WEB Server]\r\n"
            "DefaultDirectory=/srv/www\r\n"
            "DefaultDocument=start.asp\r\n"
            "AlwaysClose=0\r\n"
            "DisableUpload=1\r\n"
            "LogLevel=2\r\n"
            "LogPath=/var/log/wendrel\r\n"
            "MaxThreads=40\r\n"
            "MaxUploadSize=65536\r\n"
            "Port=8080\r\n"
            "ProcessDefault=0\r\n"
            "ServerBind=127.0.0.1\r\n"
            "UploadDir=/srv/uploads\r\n"
            "EnableASPDebug=-1\r\n"
            "ScriptLanguage=JScript\r\n"
            "\r\n"
            "[VirtDirs]\r\n"
            "/docs/=/srv/docs\r\n"
            "/img/=/srv/images\r\n"
            "\r\n"
            "[HostIDs]\r\n"
            "intranet=/srv/intra\r\n"
            "\r\n"
            "[MIMETypes]\r\n"
            ".pdf=application/pdf\r\n"
            ".svg=image/svg+xml\r\n");
}

TEST_F(ConfigStore, ProfileFileRoundTripReproducesSettingsAndLists) {
  std::string location = "file://" + PathOf("C:\\cfg\\srv.ini");
  ServerConfiguration saved = FullConfiguration();
  ASSERT_TRUE(SaveConfiguration(location, saved));
  ExpectReproduces(LoadConfiguration(location, ServerConfiguration()), saved);
}

TEST_F(ConfigStore, AbsolutePathWithoutPrefixIsAFile) {
  std::string path = PathOf("plain.ini");
  ASSERT_TRUE(SaveConfiguration(path, FullConfiguration()));
  EXPECT_EQ(ProfileFile::Load(path).value().FindString("WEB Server", "Port"), "8080");
  EXPECT_EQ(LoadConfiguration(path, ServerConfiguration()).port, 8080);
}

TEST_F(ConfigStore, DrivePathWithoutPrefixIsAFileInTheCurrentFolder) {
  fs::path previous = fs::current_path();
  fs::current_path(folder_);
  bool saved = SaveConfiguration("C:\\cfg\\srv.ini", FullConfiguration());
  fs::current_path(previous);
  ASSERT_TRUE(saved);
  EXPECT_TRUE(fs::is_regular_file(PathOf("C:\\cfg\\srv.ini")));
  EXPECT_EQ(HresultOf(RegistryKey::Open(kUser, u"C:\\cfg\\srv.ini")), kRegistryNotFound);
}

TEST_F(ConfigStore, SaveKeepsOtherSectionsAndComments) {
  std::string path = PathOf("shared.ini");
  WriteBytes(path, "; notes of the host\r\n[Host]\r\nTheme=dark\r\n\r\n[WEB Server]\r\nPort=1\r\n");
  ASSERT_TRUE(SaveConfiguration(path, FullConfiguration()));
  std::string text = ReadBytes(path);
  EXPECT_TRUE(text.starts_with("; notes of the host\r\n[Host]\r\nTheme=dark\r\n\r\n[WEB Server]\r\n"
                               "Port=8080\r\nDefaultDirectory=/srv/www\r\n"))
      << text;
}

TEST_F(ConfigStore, SavedListReplacesTheEntriesOfAnEarlierSave) {
  std::string path = PathOf("lists.ini");
  ServerConfiguration first = FullConfiguration();
  ASSERT_TRUE(SaveConfiguration(path, first));
  ServerConfiguration second = first;
  second.virtual_dirs = {{"/img/", "/srv/pictures"}};
  second.host_ids.clear();
  ASSERT_TRUE(SaveConfiguration(path, second));
  LoadedConfiguration loaded = LoadConfiguration(path, ServerConfiguration());
  EXPECT_EQ(loaded.virtual_dirs, second.virtual_dirs);
  EXPECT_TRUE(loaded.host_ids.empty());
  EXPECT_EQ(loaded.mime_types, first.mime_types);
}

TEST_F(ConfigStore, MissingProfileFileLoadsNothingAndIsNotCreated) {
  std::string path = PathOf("absent.ini");
  LoadedConfiguration loaded = LoadConfiguration("file://" + path, FullConfiguration());
  EXPECT_FALSE(loaded.any_found);
  EXPECT_FALSE(loaded.port.has_value());
  EXPECT_FALSE(loaded.max_threads.has_value());
  EXPECT_FALSE(fs::exists(path));
}

TEST_F(ConfigStore, ExistingProfileFileFindsEveryIntegerAtLeastAsTheCurrentValue) {
  std::string path = PathOf("empty.ini");
  WriteBytes(path, "");
  ServerConfiguration current = FullConfiguration();
  LoadedConfiguration loaded = LoadConfiguration(path, current);
  EXPECT_TRUE(loaded.any_found);
  EXPECT_EQ(loaded.port, current.port);
  EXPECT_EQ(loaded.enable_asp_debug, current.enable_asp_debug);
  EXPECT_FALSE(loaded.default_directory.has_value());
}

TEST_F(ConfigStore, ProfileLackingPortKeepsTheCurrentPortAndMaxThreadsOneLoads) {
  std::string path = PathOf("partial.ini");
  WriteBytes(path, "[WEB Server]\r\nMaxThreads=1\r\nDefaultDocument=\r\n");
  ServerConfiguration current;
  current.port = 8081;
  LoadedConfiguration loaded = LoadConfiguration(path, current);
  EXPECT_EQ(loaded.port, 8081);
  EXPECT_EQ(loaded.max_threads, 1);
  EXPECT_FALSE(loaded.default_document.has_value());  // empty counts as absent
}

TEST_F(ConfigStore, LoadedThreadCountAndUploadSizeStayServiceable) {
  struct Case {
    const char* threads;
    const char* upload;
    int32_t expected_threads;
    int32_t expected_upload;
  };
  const Case cases[] = {
      {"0", "-5", 1, 0}, {"5000", "0", 255, 0}, {"-3", "1", 1, 1}, {"255", "1025", 255, 1025},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.threads);
    std::string path = PathOf("bounds.ini");
    WriteBytes(path, std::string("[WEB Server]\r\nMaxThreads=") + c.threads +
                         "\r\nMaxUploadSize=" + c.upload + "\r\n");
    LoadedConfiguration loaded = LoadConfiguration(path, ServerConfiguration());
    EXPECT_EQ(loaded.max_threads, c.expected_threads);
    EXPECT_EQ(loaded.max_upload_size, c.expected_upload);
  }
}

TEST_F(ConfigStore, ProfileListLinesSplitAtAnEqualsSignAfterTheFirstCharacter) {
  std::string path = PathOf("split.ini");
  WriteBytes(path, "[MIMETypes]\r\n=x\r\nbare\r\nk=v=w\r\n.pdf = application/pdf\r\n=a=b\r\n");
  LoadedConfiguration loaded = LoadConfiguration(path, ServerConfiguration());
  EXPECT_EQ(loaded.mime_types, (ConfigurationList{
                                   {"k", "v=w"}, {".pdf", "application/pdf"}, {"=a", "b"}}));
}

TEST_F(ConfigStore, FirstFailedWriteEndsTheSaveKeepingWhatWentBefore) {
  std::string path = PathOf("stops.ini");
  ServerConfiguration configuration = FullConfiguration();
  configuration.host_ids = {{"bad=key", "/x"}};
  EXPECT_FALSE(SaveConfiguration(path, configuration));
  ProfileFile file = ProfileFile::Load(path).value();
  EXPECT_EQ(file.FindString("WEB Server", "ProcessDefault"), "0");
  EXPECT_EQ(file.ReadSection("VirtDirs").lines.size(), 2u);
  EXPECT_FALSE(file.FindString("WEB Server", "ServerBind").has_value());
  EXPECT_TRUE(file.ReadSection("MIMETypes").lines.empty());
}

TEST_F(ConfigStore, UnwritableFileLocationFails) {
  EXPECT_FALSE(SaveConfiguration("file://" + PathOf("no/such/folder/srv.ini"), FullConfiguration()));
  EXPECT_FALSE(SaveConfiguration("file://" + folder_, FullConfiguration()));  // a folder
  EXPECT_FALSE(SaveConfiguration("file://", FullConfiguration()));
}

TEST_F(ConfigStore, OversizedProfileFileIsNeitherLoadedNorOverwritten) {
  std::string path = PathOf("huge.ini");
  WriteBytes(path, "[WEB Server]\r\nPort=1\r\n");
  fs::resize_file(path, kMaxProfileFileBytes + 1);
  EXPECT_FALSE(LoadConfiguration(path, ServerConfiguration()).any_found);
  EXPECT_FALSE(SaveConfiguration(path, FullConfiguration()));
  EXPECT_EQ(fs::file_size(path), kMaxProfileFileBytes + 1);
}

// ---------------------------------------------------------------------------------------------
// The registry

TEST_F(ConfigStore, RegistryRoundTripUnderTheUserHive) {
  ServerConfiguration saved = FullConfiguration();
  ASSERT_TRUE(SaveConfiguration("HKCU\\Software\\Example\\Web", saved));
  ExpectReproduces(LoadConfiguration("hkcu\\Software\\Example\\Web", ServerConfiguration()), saved);
}

TEST_F(ConfigStore, RegistryHoldsStringsAsTextIntegersAsDwordsListsAsSubKeys) {
  ASSERT_TRUE(SaveConfiguration("HKCU\\Software\\Example\\Web", FullConfiguration()));
  RegistryKey key = RegistryKey::Open(kUser, u"Software\\Example\\Web").value();
  RegistryValue port = key.Query(u"Port").value();
  EXPECT_EQ(port.type, REG_DWORD);
  EXPECT_EQ(port.number, 8080u);
  EXPECT_EQ(key.Query(u"EnableASPDebug").value().number, 0xFFFFFFFFu);
  RegistryValue document = key.Query(u"DefaultDocument").value();
  EXPECT_EQ(document.type, REG_SZ);
  EXPECT_EQ(document.text, u"start.asp");
  RegistryKey mime = key.OpenSubKey(u"MIMETypes").value();
  EXPECT_EQ(mime.Query(u".pdf").value().text, u"application/pdf");
  EXPECT_EQ(key.SubKeyNames().value(),
            (std::vector<std::u16string>{u"VirtDirs", u"HostIDs", u"MIMETypes"}));
}

TEST_F(ConfigStore, KeyPathWithoutPrefixIsUnderTheUserHive) {
  ASSERT_TRUE(SaveConfiguration("Software\\Example\\Web", FullConfiguration()));
  RegistryKey key = RegistryKey::Open(kUser, u"Software\\Example\\Web").value();
  EXPECT_EQ(key.Query(u"Port").value().number, 8080u);
  EXPECT_EQ(LoadConfiguration("Software\\Example\\Web", ServerConfiguration()).port, 8080);
}

TEST_F(ConfigStore, SavingUnderAReadOnlyMachineHiveFails) {
  ASSERT_TRUE(RegistryKey::Create(kMachine, u"Software\\Existing").ok());
  std::string machine_file = registry_.folder() + "/machine.db";
  ASSERT_EQ(chmod(machine_file.c_str(), 0444), 0);
  EXPECT_FALSE(SaveConfiguration("HKLM\\Software\\Web", FullConfiguration()));
  EXPECT_FALSE(SaveConfiguration("HKLM\\Software\\Existing", FullConfiguration()));
  EXPECT_EQ(HresultOf(RegistryKey::Open(kMachine, u"Software\\Web")), kRegistryNotFound);
  EXPECT_FALSE(RegistryKey::Open(kMachine, u"Software\\Existing").value().Query(u"Port").ok());
  ASSERT_EQ(chmod(machine_file.c_str(), 0644), 0);
}

TEST_F(ConfigStore, LoadingFromAReadOnlyMachineHiveReadsAnExistingKey) {
  ASSERT_TRUE(SaveConfiguration("HKLM\\Software\\Web", FullConfiguration()));
  std::string machine_file = registry_.folder() + "/machine.db";
  ASSERT_EQ(chmod(machine_file.c_str(), 0444), 0);
  ResetRegistryForTesting();
  EXPECT_EQ(LoadConfiguration("HKLM\\Software\\Web", ServerConfiguration()).port, 8080);
  EXPECT_FALSE(LoadConfiguration("HKLM\\Software\\Missing", ServerConfiguration()).any_found);
  ASSERT_EQ(chmod(machine_file.c_str(), 0644), 0);
}

TEST_F(ConfigStore, LoadCreatesAMissingKeyAndFindsNothing) {
  LoadedConfiguration loaded = LoadConfiguration("HKCU\\Software\\Fresh", FullConfiguration());
  EXPECT_FALSE(loaded.any_found);
  EXPECT_FALSE(loaded.port.has_value());
  EXPECT_TRUE(RegistryKey::Open(kUser, u"Software\\Fresh").ok());
}

TEST_F(ConfigStore, RegistryValuesOfTheWrongTypeOrSizeAreAbsent) {
  RegistryKey key = RegistryKey::Create(kUser, u"Software\\Typed").value();
  ASSERT_TRUE(key.SetNumber(u"DefaultDocument", 5).ok());
  ASSERT_TRUE(key.SetString(u"Port", u"8080").ok());
  ASSERT_TRUE(key.SetString(u"LogPath", std::u16string(kMaxRegistryTextBytes - 1, u'p')).ok());
  ASSERT_TRUE(key.SetString(u"UploadDir", std::u16string(kMaxRegistryTextBytes, u'u')).ok());
  ASSERT_TRUE(key.SetNumber(u"MaxThreads", 0).ok());
  RegistryKey mime = key.CreateSubKey(u"MIMETypes").value();
  ASSERT_TRUE(mime.SetString(u".a", u"text/a").ok());
  ASSERT_TRUE(mime.SetNumber(u".n", 1).ok());
  ASSERT_TRUE(mime.SetString(u".long", std::u16string(kMaxRegistryTextBytes, u'x')).ok());
  ASSERT_TRUE(mime.SetString(u".b", u"text/b").ok());

  ServerConfiguration current;
  current.port = 9000;
  LoadedConfiguration loaded = LoadConfiguration("HKCU\\Software\\Typed", current);
  EXPECT_FALSE(loaded.default_document.has_value());
  EXPECT_FALSE(loaded.port.has_value());
  EXPECT_EQ(loaded.log_path, std::string(kMaxRegistryTextBytes - 1, 'p'));
  EXPECT_FALSE(loaded.upload_dir.has_value());
  EXPECT_EQ(loaded.max_threads, 1);
  EXPECT_EQ(loaded.mime_types, (ConfigurationList{{".a", "text/a"}, {".b", "text/b"}}));
  EXPECT_TRUE(loaded.any_found);
}

TEST_F(ConfigStore, RegistryListKeepsOnlyTheLatestSavedEntries) {
  ServerConfiguration first = FullConfiguration();
  ASSERT_TRUE(SaveConfiguration("HKCU\\Software\\Web", first));
  ServerConfiguration second = first;
  second.virtual_dirs = {{"/img/", "/srv/pictures"}};
  ASSERT_TRUE(SaveConfiguration("HKCU\\Software\\Web", second));
  EXPECT_EQ(LoadConfiguration("HKCU\\Software\\Web", ServerConfiguration()).virtual_dirs,
            second.virtual_dirs);
}

TEST_F(ConfigStore, RegistryTextUsesTheAnsiCodePage) {
  ServerConfiguration saved;
  saved.default_directory = "/srv/caf\xE9";  // "café" in Windows-1252
  ASSERT_TRUE(SaveConfiguration("HKCU\\Software\\Ansi", saved));
  RegistryKey key = RegistryKey::Open(kUser, u"Software\\Ansi").value();
  EXPECT_EQ(key.Query(u"DefaultDirectory").value().text, u"/srv/caf\u00E9");
  EXPECT_EQ(LoadConfiguration("HKCU\\Software\\Ansi", saved).default_directory,
            saved.default_directory);
}

}  // namespace

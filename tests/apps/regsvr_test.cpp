// The regsvr command run as a process: it registers and unregisters both libraries, registering
// twice leaves the same entries, unregistering keeps the type libraries, and bad input gets the
// documented exit codes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "platform/com/creation.h"
#include "platform/com/guid.h"
#include "platform/com/type_library.h"
#include "tests/support/registry_dump.h"
#include "tests/support/temporary_registry.h"

namespace {

struct Outcome {
  int exit_code = -1;
  std::string output;
};

// Runs regsvr with the arguments (already quoted for the shell); the registry folder of the
// test is inherited through WENDREL_REGISTRY_DIR.
Outcome RunRegsvr(const std::string& arguments) {
  std::string command = std::string(REGSVR_PATH) + " " + arguments + " 2>&1";
  Outcome outcome;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return outcome;
  char buffer[4096];
  for (size_t got; (got = fread(buffer, 1, sizeof(buffer), pipe)) > 0;) outcome.output.append(buffer, got);
  int status = pclose(pipe);
  outcome.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return outcome;
}

const std::string kBothModules = std::string("'") + WENDREL_MODULE_PATH + "' '" + TABULIX32_MODULE_PATH + "'";

std::string Classes() { return DumpRegistry(RegistryHive::LocalMachine, u"Software\\Classes"); }

bool KeyExists(std::u16string_view path) {
  return RegistryKey::Open(RegistryHive::ClassesRoot, path).ok();
}

class Regsvr : public ::testing::Test {
 protected:
  TemporaryRegistry registry_;
};

TEST_F(Regsvr, RegistersBothLibraries) {
  Outcome outcome = RunRegsvr(kBothModules);
  EXPECT_EQ(outcome.exit_code, 0) << outcome.output;
  EXPECT_NE(outcome.output.find("DllRegisterServer succeeded for " + std::string(WENDREL_MODULE_PATH)), std::string::npos);
  EXPECT_NE(outcome.output.find("DllRegisterServer succeeded for " + std::string(TABULIX32_MODULE_PATH)), std::string::npos);
  for (std::u16string_view prog_id : {u"WendrelASP.Server", u"WendrelASP.TextParser", u"WendrelASP.SysLogClient",
                                      u"Tabulix32.ReportRender", u"Tabulix32.StringBuffer", u"Tabulix32.ODBCList"}) {
    EXPECT_TRUE(IsProgIdRegistered(prog_id)) << TextToBytes(prog_id, CP_UTF8);
  }
  EXPECT_TRUE(LoadRegisteredTypeLibrary(u"WendrelASP").ok());
  EXPECT_TRUE(LoadRegisteredTypeLibrary(u"Tabulix32").ok());
  // Tabulix32's classes live in the apartment of the page that creates them.
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(u"Tabulix32.ReportRender", &clsid), S_OK);
  Result<RegistryKey> server = RegistryKey::Open(RegistryHive::ClassesRoot, u"CLSID\\" + GuidToString(clsid) + u"\\InprocServer32");
  ASSERT_TRUE(server.ok());
  EXPECT_EQ(server.value().Query(u"ThreadingModel").value().text, u"Apartment");
}

TEST_F(Regsvr, RegisteringTwiceLeavesTheSameEntries) {
  ASSERT_EQ(RunRegsvr(kBothModules).exit_code, 0);
  std::string first = Classes();
  ASSERT_FALSE(first.empty());
  ASSERT_EQ(RunRegsvr(kBothModules).exit_code, 0);
  EXPECT_EQ(Classes(), first);
}

TEST_F(Regsvr, UnregisteringRemovesClassesAndKeepsTypeLibraries) {
  ASSERT_EQ(RunRegsvr(kBothModules).exit_code, 0);
  CLSID parser{};
  CLSID render{};
  ASSERT_EQ(CLSIDFromProgID(u"WendrelASP.TextParser", &parser), S_OK);
  ASSERT_EQ(CLSIDFromProgID(u"Tabulix32.ReportRender", &render), S_OK);
  Outcome outcome = RunRegsvr("-u " + kBothModules);
  EXPECT_EQ(outcome.exit_code, 0) << outcome.output;
  EXPECT_NE(outcome.output.find("DllUnregisterServer succeeded"), std::string::npos);
  EXPECT_FALSE(KeyExists(u"WendrelASP.TextParser"));
  EXPECT_FALSE(KeyExists(u"Tabulix32.ReportRender"));
  EXPECT_FALSE(KeyExists(u"CLSID\\" + GuidToString(parser)));
  EXPECT_FALSE(KeyExists(u"CLSID\\" + GuidToString(render)));
  EXPECT_TRUE(LoadRegisteredTypeLibrary(u"WendrelASP").ok());
  EXPECT_TRUE(LoadRegisteredTypeLibrary(u"Tabulix32").ok());
}

TEST_F(Regsvr, BadInputHasItsExitCode) {
  struct Case {
    std::string arguments;
    int exit_code;
    std::string_view says;
  } cases[] = {
      {"", 2, "usage"},
      {"-u", 2, "usage"},
      {"--help", 2, "usage"},
      {"/nonexistent/libnothing.so", 1, "No such file"},
      {std::string("'") + REGSVR_PATH + "'", 1, "regsvr:"},  // a file that is not a module
      {"/nonexistent/libnothing.so '" + std::string(WENDREL_MODULE_PATH) + "'", 1, "succeeded"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    Outcome outcome = RunRegsvr(c.arguments);
    EXPECT_EQ(outcome.exit_code, c.exit_code);
    EXPECT_NE(outcome.output.find(c.says), std::string::npos) << outcome.output;
  }
}

}  // namespace

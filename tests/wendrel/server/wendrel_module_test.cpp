// libwendrel.so registered into a temporary registry: the Server is created by its ProgID and
// driven late-bound; the classes that exist only inside a server are registered, not creatable.
#include <gtest/gtest.h>

#include "platform/automation/dispatch_call.h"
#include "platform/com/apartment.h"
#include "platform/com/creation.h"
#include "platform/system/registry.h"
#include "tests/support/temporary_registry.h"

namespace {

class WendrelModule : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize();
    ASSERT_TRUE(RegisterModuleFile(u"" WENDREL_MODULE_PATH_U).ok());
  }
  TemporaryRegistry registry_;
};

TEST_F(WendrelModule, ServerIsCreatedByProgIdAndAnswersLateBound) {
  Result<ComPtr<IDispatch>> server = CreateObject(u"WendrelASP.Server");
  ASSERT_TRUE(server.ok());
  EXPECT_EQ(CallMember(server.value().get(), u"DefaultDocument").value().StringView(),
            u"index.htm");
  EXPECT_EQ(CallMember(server.value().get(), u"StopServer").value().boolVal, VARIANT_TRUE);
}

TEST_F(WendrelModule, InnerClassesAreRegisteredButNotCreatable) {
  for (std::u16string_view prog_id :
       {u"WendrelASP.Request", u"WendrelASP.Response", u"WendrelASP.Collection",
        u"WendrelASP.Item", u"WendrelASP.CHTTPCookie", u"WendrelASP.CQuavDictionary"}) {
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(prog_id, &clsid), S_OK);  // the ProgID maps to its class
    EXPECT_FALSE(IsProgIdRegistered(prog_id));           // but no server entry makes one
    EXPECT_FALSE(CreateObject(prog_id).ok());
  }
}

TEST_F(WendrelModule, RegisteringTwiceKeepsOneSetOfEntries) {
  ASSERT_TRUE(RegisterModuleFile(u"" WENDREL_MODULE_PATH_U).ok());
  CLSID clsid{};
  EXPECT_EQ(CLSIDFromProgID(u"WendrelASP.Server", &clsid), S_OK);
  EXPECT_TRUE(CreateObject(u"WendrelASP.Server").ok());
}

}  // namespace

#include "platform/com/guid.h"

#include <gtest/gtest.h>

TEST(Guid, RegistryFormIsBracedUpperCaseHex) {
  EXPECT_EQ(GuidToString(IID_IDispatch), u"{00020400-0000-0000-C000-000000000046}");
  GUID parsed = GuidFromString(u"{ee09b103-97e0-11cf-978f-00a02463e06f}").value();
  EXPECT_EQ(GuidToString(parsed), u"{EE09B103-97E0-11CF-978F-00A02463E06F}");
}

TEST(Guid, MalformedTextsAreRefused) {
  for (const char16_t* text : {u"", u"EE09B103-97E0-11CF-978F-00A02463E06F",
                               u"{EE09B103-97E0-11CF-978F-00A02463E06}", u"{EE09B103_97E0-11CF-978F-00A02463E06F}",
                               u"{EE09B103-97E0-11CF-978F-00A02463E06G}", u"{EE09B103-97E0-11CF-978F-00A02463E06F}x"}) {
    EXPECT_FALSE(GuidFromString(text).has_value());
  }
}

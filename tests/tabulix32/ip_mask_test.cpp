// UtilitiesClass.satisfiesIPMask, called by name with by-reference arguments.
#include <gtest/gtest.h>

#include <string>

#include "tests/tabulix32/utilities_member_call.h"

namespace {

using namespace utilities_test;

constexpr int32_t kTypeMismatch = 13;

class IPMask : public UtilitiesCallTest {
 protected:
  // satisfiesIPMask(address, network, prefix); false when the call fails.
  bool Satisfies(Variant address, Variant network, Variant prefix) {
    Variant result = Get(u"satisfiesIPMask", {std::move(address), std::move(network),
                                              std::move(prefix)});
    EXPECT_EQ(result.Type(), VT_BOOL);
    return result.Type() == VT_BOOL && result.boolVal != 0;
  }
  // Whether the text is taken as an address: it matches itself with every bit compared.
  bool IsAddress(Variant text) {
    Variant copy = text;
    return Satisfies(std::move(text), std::move(copy), I(32));
  }
};

TEST_F(IPMask, ValidAddresses) {
  EXPECT_TRUE(IsAddress(S(u"10.0.0.1")));
  EXPECT_TRUE(IsAddress(S(u" 10.0.0.1 ")));
  EXPECT_TRUE(IsAddress(S(u"255.255.255.255")));
  EXPECT_TRUE(IsAddress(S(u"0.0.0.0")));
}

TEST_F(IPMask, InvalidAddressesGiveFalse) {
  for (std::u16string_view text : {u"10.0.0", u"10.0.0.1.5", u"10.0.0.256", u"10.0.0.-1",
                                   u"10.0.0.a", u"", u"   ", u"10..0.1", u"...",
                                   u"10.0.0.1e3"}) {
    SCOPED_TRACE(Narrow(text));
    EXPECT_FALSE(IsAddress(S(text)));
  }
  EXPECT_FALSE(IsAddress(Variant::Null()));
  EXPECT_FALSE(IsAddress(Variant()));
  EXPECT_FALSE(Satisfies(S(u"10.0.0.1"), S(u"10.0.0"), I(0)));
}

TEST_F(IPMask, PartsRoundHalfToEven) {
  ASSERT_TRUE(SetThreadLocale(kGerman));
  // In German "," is the decimal separator: 255,5 rounds to 256, 254,5 to 254.
  EXPECT_FALSE(IsAddress(S(u"10.0.0.255,5")));
  EXPECT_TRUE(Satisfies(S(u"10.0.0.254,5"), S(u"10.0.0.254"), I(32)));
}

TEST_F(IPMask, PrefixLengths) {
  struct Case {
    std::u16string_view address, network;
    int32_t prefix;
    bool expected;
  } cases[] = {
      {u"10.1.2.3", u"10.0.0.0", 8, true},
      {u"10.1.2.3", u"11.0.0.0", 8, false},
      {u"10.1.2.3", u"10.1.2.3", 32, true},
      {u"10.1.2.3", u"10.1.2.4", 32, false},
      {u"10.1.2.3", u"10.1.2.4", 31, false},
      {u"10.1.2.4", u"10.1.2.5", 31, true},
      {u"192.168.10.77", u"192.168.10.0", 24, true},
      {u"192.168.10.77", u"192.168.11.0", 23, true},
      {u"192.168.10.77", u"192.168.11.0", 24, false},
      {u"192.168.10.77", u"192.168.12.0", 22, false},
      {u"128.0.0.0", u"0.0.0.0", 1, false},
      {u"127.0.0.0", u"0.0.0.0", 1, true},
      {u"1.2.3.4", u"200.100.50.25", 0, true},
      {u"10.1.2.3", u"10.1.2.3", 40, false},
      {u"10.1.2.3", u"10.1.2.3", 33, true},
      {u"10.1.2.3", u"10.1.2.3", -8, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.address) + " " + Narrow(c.network) + "/" + std::to_string(c.prefix));
    EXPECT_EQ(Satisfies(S(c.address), S(c.network), I(c.prefix)), c.expected);
  }
}

TEST_F(IPMask, PrefixLengthValues) {
  EXPECT_TRUE(Satisfies(S(u"1.2.3.4"), S(u"5.6.7.8"), Variant()));
  EXPECT_TRUE(Satisfies(S(u"10.1.2.3"), S(u"10.1.0.0"), S(u"16")));
  EXPECT_FALSE(Satisfies(S(u"10.1.2.3"), S(u"10.1.2.4"), D(31.5)));  // rounds to 32
  EXPECT_FALSE(Satisfies(S(u"10.1.2.3"), S(u"10.1.2.3"), Variant::Null()));
  EXPECT_EQ(FailureNumber(u"satisfiesIPMask", {S(u"10.1.2.3"), S(u"10.0.0.0"), S(u"eight")}),
            kTypeMismatch);
  // Invalid addresses are decided before the prefix length is read.
  EXPECT_FALSE(Satisfies(S(u"x"), S(u"10.0.0.0"), S(u"eight")));
}

TEST_F(IPMask, LongTextIsNoAddress) {
  std::u16string dots(200000, u'.');
  EXPECT_FALSE(IsAddress(S(dots)));
  std::u16string digits(200000, u'1');
  EXPECT_FALSE(IsAddress(S(u"1.1.1." + digits)));
}

}  // namespace

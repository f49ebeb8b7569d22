#include "platform/com/connection_point.h"

#include <gtest/gtest.h>

#include "tests/support/fake_dispatch.h"

namespace {

constexpr IID kEvents = {0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};

// Records the events it receives.
class EventSink : public FakeDispatch {
 public:
  EventSink() : FakeDispatch(Variant()) {}
  HRESULT Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
    last_event = member;
    argument_count = params->cArgs;
    ++received;
    return fail ? E_FAIL : S_OK;
  }
  DISPID last_event = 0;
  UINT argument_count = 0;
  int received = 0;
  bool fail = false;
};

}  // namespace

TEST(ConnectionPoint, AdviseFireAndUnadvise) {
  ComPtr<ConnectionPoint> point = ConnectionPoint::Create(kEvents, nullptr);
  EventSink first;
  EventSink second;
  DWORD first_cookie = 0;
  DWORD second_cookie = 0;
  ASSERT_EQ(point->Advise(&first, &first_cookie), S_OK);
  ASSERT_EQ(point->Advise(&second, &second_cookie), S_OK);
  EXPECT_NE(first_cookie, second_cookie);
  EXPECT_EQ(first.references(), 1u);

  Variant argument = Variant::FromString(u"page");
  ASSERT_TRUE(point->Fire(0x60000004, std::vector<VARIANT>{argument, argument}).ok());
  EXPECT_EQ(first.last_event, 0x60000004);
  EXPECT_EQ(second.argument_count, 2u);

  ASSERT_EQ(point->Unadvise(first_cookie), S_OK);
  EXPECT_EQ(first.references(), 0u);
  EXPECT_EQ(point->Unadvise(first_cookie), CONNECT_E_NOCONNECTION);
  ASSERT_TRUE(point->Fire(1, {}).ok());
  EXPECT_EQ(first.received, 1);
  EXPECT_EQ(second.received, 2);
  EXPECT_EQ(point->Unadvise(second_cookie), S_OK);
  EXPECT_FALSE(point->HasSinks());
}

TEST(ConnectionPoint, FailingSinkDoesNotStopTheOthers) {
  ComPtr<ConnectionPoint> point = ConnectionPoint::Create(kEvents, nullptr);
  EventSink failing;
  failing.fail = true;
  EventSink healthy;
  DWORD cookies[2];
  ASSERT_EQ(point->Advise(&failing, &cookies[0]), S_OK);
  ASSERT_EQ(point->Advise(&healthy, &cookies[1]), S_OK);
  EXPECT_FALSE(point->Fire(7, {}).ok());
  EXPECT_EQ(healthy.received, 1);
  point->Unadvise(cookies[0]);
  point->Unadvise(cookies[1]);
}

TEST(ConnectionPoint, DetachedContainerIsNotHandedOut) {
  ComPtr<ConnectionPoint> point = ConnectionPoint::Create(kEvents, nullptr);
  IConnectionPointContainer* container = nullptr;
  EXPECT_EQ(point->GetConnectionPointContainer(&container), E_UNEXPECTED);
  IID iid{};
  ASSERT_EQ(point->GetConnectionInterface(&iid), S_OK);
  EXPECT_TRUE(iid == kEvents);
}

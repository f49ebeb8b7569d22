// The gate between a request's objects and a module: calls pass while it is open, objects the
// calls return are guarded too, and closing waits for a call under way.
#include "wendrel/components/request_gate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "platform/automation/dispatch_call.h"
#include "platform/com/dispatch_object.h"

namespace {

using namespace std::chrono_literals;

// Answers Child (a new Node) and Slow (waits until released, counting the calls inside).
class Node : public DispatchObject<Node> {
 public:
  static std::span<const DispatchMember<Node>> Members() {
    static constexpr DispatchMember<Node> kMembers[] = {
        {u"Child", 1, kPropertyGet, 0, 0, &Node::Child},
        {u"Slow", 2, kMethod, 0, 0, &Node::Slow},
    };
    return kMembers;
  }
  std::atomic<bool> inside{false};
  std::atomic<bool> release{false};

 private:
  Result<Variant> Child(const DispatchArguments&) {
    ComPtr<Node> child = MakeObject<Node>();
    return Variant::FromDispatch(child.get());
  }
  Result<Variant> Slow(const DispatchArguments&) {
    inside = true;
    while (!release) std::this_thread::sleep_for(1ms);
    inside = false;
    return Variant::FromI4(1);
  }
};

TEST(RequestGate, CallsPassUntilTheGateClosesAndReturnedObjectsFollowIt) {
  auto gate = std::make_shared<RequestGate>();
  ComPtr<Node> node = MakeObject<Node>();
  ComPtr<IDispatch> guarded = GuardedDispatch(node.get(), gate);
  Result<Variant> child = CallMember(guarded.get(), u"Child");
  ASSERT_TRUE(child.ok());
  ComPtr<IDispatch> guarded_child(child.value().pdispVal);
  EXPECT_NE(guarded_child.get(), nullptr);
  EXPECT_TRUE(CallMember(guarded_child.get(), u"Child").ok());
  gate->Close();
  DISPID dispid = 0;
  std::u16string name = u"Child";
  OLECHAR* names[] = {name.data()};
  EXPECT_EQ(guarded->GetIDsOfNames(GUID_NULL, names, 1, 0, &dispid), RPC_E_DISCONNECTED);
  EXPECT_EQ(guarded_child->Invoke(1, GUID_NULL, 0, DISPATCH_PROPERTYGET, nullptr, nullptr, nullptr, nullptr),
            RPC_E_DISCONNECTED);
  EXPECT_TRUE(CallMember(node.get(), u"Child").ok());  // the object itself is untouched
}

TEST(RequestGate, ClosingWaitsForTheCallUnderWay) {
  auto gate = std::make_shared<RequestGate>();
  ComPtr<Node> node = MakeObject<Node>();
  ComPtr<IDispatch> guarded = GuardedDispatch(node.get(), gate);
  auto call = std::async(std::launch::async, [&] { return CallMember(guarded.get(), u"Slow").ok(); });
  while (!node->inside) std::this_thread::sleep_for(1ms);
  auto closing = std::async(std::launch::async, [&] { gate->Close(); });
  EXPECT_EQ(closing.wait_for(50ms), std::future_status::timeout);  // the call is still inside
  node->release = true;
  closing.get();
  EXPECT_TRUE(call.get());
  EXPECT_FALSE(node->inside);
}

TEST(RequestGate, BorrowedObjectsAreNotKeptAlive) {
  auto gate = std::make_shared<RequestGate>();
  ComPtr<Node> node = MakeObject<Node>();
  IDispatch* raw = node.get();
  raw->AddRef();
  ULONG before = raw->Release();
  ComPtr<IDispatch> borrowed = GuardedDispatch(raw, gate, GuardedReference::Borrowed);
  raw->AddRef();
  EXPECT_EQ(raw->Release(), before);
  ComPtr<IDispatch> owned = GuardedDispatch(raw, gate);
  raw->AddRef();
  EXPECT_EQ(raw->Release(), before + 1);
}

}  // namespace

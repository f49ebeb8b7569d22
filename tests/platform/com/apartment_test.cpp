#include "platform/com/apartment.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "platform/automation/variant.h"

namespace {

using std::chrono::seconds;

constexpr seconds kTimeLimit{10};
// Beyond every bounded wait in a test: reaching it means something waits forever.
constexpr seconds kHangLimit{30};

constexpr uint32_t kFirst = WM_USER + 1;
constexpr uint32_t kSecond = WM_USER + 2;
constexpr uint32_t kThird = WM_USER + 3;

// Aborts the run when a test hangs, since SendMessage and GetMessage wait without limit.
class Watchdog {
 public:
  Watchdog() : thread_([this] { Watch(); }) {}
  ~Watchdog() {
    {
      std::lock_guard lock(mutex_);
      stopped_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }

 private:
  void Watch() {
    std::unique_lock lock(mutex_);
    if (wake_.wait_for(lock, kHangLimit, [this] { return stopped_; })) return;
    std::fprintf(stderr, "apartment test hung; aborting\n");
    std::abort();
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopped_ = false;
  std::thread thread_;
};

// Pumps the calling thread until `done` or the time limit; whether `done` held.
bool PumpUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + kTimeLimit;
  PumpMessagesUntil([&] { return done() || std::chrono::steady_clock::now() > deadline; }, 5);
  return done();
}

template <class T>
bool IsReady(std::future<T>& future) {
  return future.wait_for(kTimeLimit) == std::future_status::ready;
}

// What a TestObject saw; it outlives the object so the last Release can be checked.
struct ObjectLog {
  std::atomic<std::thread::id> invoke_thread{};
  std::atomic<std::thread::id> release_thread{};
  std::atomic<bool> released{false};
};

constexpr DISPID kAnswerMember = 1;
constexpr DISPID kFailingMember = 2;

// An object of the test's apartment: "Answer" returns 42, "Fail" raises "broken".
class TestObject final : public IDispatch {
 public:
  explicit TestObject(ObjectLog* log) : log_(log) {}

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!(iid == IID_IUnknown) && !(iid == IID_IDispatch)) return E_NOINTERFACE;
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override {
    ULONG remaining = --references_;
    if (remaining > 0) return remaining;
    log_->release_thread = std::this_thread::get_id();
    log_->released = true;
    delete this;
    return 0;
  }
  HRESULT GetTypeInfoCount(UINT* count) override {
    *count = 1;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* dispids) override {
    std::u16string_view name = names[0];
    if (name == u"Answer") return *dispids = kAnswerMember, S_OK;
    if (name == u"Fail") return *dispids = kFailingMember, S_OK;
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result,
                 EXCEPINFO* exception, UINT*) override {
    log_->invoke_thread = std::this_thread::get_id();
    if (member == kAnswerMember && result != nullptr) {
      result->vt = VT_I4;
      result->lVal = 42;
      return S_OK;
    }
    if (member != kFailingMember) return DISP_E_MEMBERNOTFOUND;
    *exception = EXCEPINFO{};
    exception->bstrDescription = SysAllocString(u"broken");
    exception->scode = E_FAIL;
    return DISP_E_EXCEPTION;
  }

 private:
  std::atomic<ULONG> references_{1};
  ObjectLog* log_;
};

ComPtr<IDispatch> NewTestObject(ObjectLog* log) {
  return ComPtr<IDispatch>::Adopt(new TestObject(log));
}

HRESULT CallMember(IDispatch& object, const char16_t* name, VARIANT* result,
                   EXCEPINFO* exception) {
  std::u16string text = name;
  LPOLESTR names[] = {text.data()};
  DISPID member = DISPID_UNKNOWN;
  HRESULT hr = object.GetIDsOfNames(GUID_NULL, names, 1, LOCALE_USER_DEFAULT, &member);
  if (FAILED(hr)) return hr;
  DISPPARAMS no_arguments{nullptr, nullptr, 0, 0};
  return object.Invoke(member, GUID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &no_arguments,
                       result, exception, nullptr);
}

// The threads of one test. Declared after the state they share, so that they end first: on
// the way out it serves their sends to this thread until each has finished.
class Workers {
 public:
  ~Workers() {
    stopping_ = true;
    PumpUntil([this] { return finished_ == threads_.size(); });
    for (std::thread& thread : threads_) thread.join();
  }

  template <class Body>
  void Start(Body body) {
    threads_.emplace_back([this, body = std::move(body)]() mutable {
      body();
      ++finished_;
    });
  }
  bool Stopping() const { return stopping_; }

 private:
  std::atomic<bool> stopping_{false};
  std::atomic<size_t> finished_{0};
  std::vector<std::thread> threads_;
};

// Each test enters first, so its own thread is the main apartment, and leaves last.
class ApartmentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CoInitialize(), S_OK);
    ASSERT_TRUE(IsMainApartmentThread());
  }
  void TearDown() override { CoUninitialize(); }

  Watchdog watchdog_;
};

// --- Entering and leaving ----------------------------------------------------------------

TEST_F(ApartmentTest, EnteringIsCountedPerThread) {
  EXPECT_EQ(CoInitialize(), S_FALSE);
  CoUninitialize();
  EXPECT_TRUE(IsInApartment());

  bool inside_before = true, inside_between = false, inside_after = true;
  std::thread([&] {
    inside_before = IsInApartment();
    CoInitialize();
    CoInitialize();
    CoUninitialize();
    inside_between = IsInApartment();
    CoUninitialize();
    inside_after = IsInApartment();
  }).join();
  EXPECT_FALSE(inside_before);
  EXPECT_TRUE(inside_between);
  EXPECT_FALSE(inside_after);
}

TEST_F(ApartmentTest, ThreadOutsideApartmentHasNoQueue) {
  HWND window = reinterpret_cast<HWND>(1);
  bool got_message = true;
  std::thread([&] {
    window = CreateMessageWindow([](uint32_t, WPARAM, LPARAM) { return LRESULT{0}; });
    MSG message;
    got_message = GetMessage(&message) || PeekMessage(&message);
  }).join();
  EXPECT_EQ(window, nullptr);
  EXPECT_FALSE(got_message);
}

TEST_F(ApartmentTest, ThreadEndingInsideApartmentClosesItsQueue) {
  HWND orphan = nullptr;
  std::thread([&] {
    CoInitialize();
    orphan = CreateMessageWindow([](uint32_t, WPARAM, LPARAM) { return LRESULT{1}; });
  }).join();
  ASSERT_NE(orphan, nullptr);
  EXPECT_FALSE(PostMessage(orphan, kFirst, 0, 0));
  EXPECT_EQ(SendMessage(orphan, kFirst, 0, 0), 0);
}

// --- Posting and fetching ----------------------------------------------------------------

TEST_F(ApartmentTest, PostedMessagesArriveInOrder) {
  std::vector<uint32_t> seen;
  HWND window = CreateMessageWindow([&](uint32_t message, WPARAM, LPARAM) {
    seen.push_back(message);
    return LRESULT{0};
  });
  for (uint32_t message : {kFirst, kSecond, kThird}) ASSERT_TRUE(PostMessage(window, message, 0, 0));
  PostQuitMessage(0);
  MSG message;
  while (GetMessage(&message)) DispatchMessage(message);
  EXPECT_EQ(seen, (std::vector<uint32_t>{kFirst, kSecond, kThird}));
  DestroyMessageWindow(window);
}

TEST_F(ApartmentTest, QuitEndsGetMessageWithExitCode) {
  PostQuitMessage(7);
  MSG message{};
  EXPECT_FALSE(GetMessage(&message));
  EXPECT_EQ(message.message, WM_QUIT);
  EXPECT_EQ(message.wparam, 7u);
}

TEST_F(ApartmentTest, PeekMessageReturnsAtOnce) {
  HWND window = CreateMessageWindow([](uint32_t, WPARAM, LPARAM) { return LRESULT{0}; });
  MSG message{};
  EXPECT_FALSE(PeekMessage(&message));
  ASSERT_TRUE(PostMessage(window, kSecond, 5, 6));
  ASSERT_TRUE(PeekMessage(&message));
  EXPECT_EQ(message.window, window);
  EXPECT_EQ(message.message, kSecond);
  EXPECT_EQ(message.wparam, 5u);
  EXPECT_EQ(message.lparam, 6);
  EXPECT_FALSE(PeekMessage(&message));
  DestroyMessageWindow(window);
}

TEST_F(ApartmentTest, DestroyedWindowGetsNothing) {
  int calls = 0;
  HWND window = CreateMessageWindow([&](uint32_t, WPARAM, LPARAM) { return ++calls, LRESULT{1}; });
  ASSERT_TRUE(PostMessage(window, kFirst, 0, 0));
  DestroyMessageWindow(window);
  MSG message{};
  EXPECT_FALSE(PeekMessage(&message)) << "a message queued before the window went survived";
  EXPECT_FALSE(PostMessage(window, kFirst, 0, 0));
  EXPECT_EQ(SendMessage(window, kFirst, 0, 0), 0);
  EXPECT_EQ(DispatchMessage(MSG{window, kFirst, 0, 0}), 0);
  EXPECT_EQ(calls, 0);
}

TEST_F(ApartmentTest, ApartmentWindowCannotBeDestroyed) {
  DestroyMessageWindow(MainApartmentWindow());
  std::atomic<HRESULT> result = E_FAIL;
  Workers workers;
  workers.Start([&] { result = RunOnMainThread([] { return S_OK; }); });
  EXPECT_TRUE(PumpUntil([&] { return result == S_OK; }));
}

// --- Sending -----------------------------------------------------------------------------

TEST_F(ApartmentTest, SendOnOwningThreadCallsProcedureDirectly) {
  bool called = false;
  HWND window = CreateMessageWindow([&](uint32_t, WPARAM wparam, LPARAM) {
    called = true;
    return static_cast<LRESULT>(wparam + 1);
  });
  EXPECT_EQ(SendMessage(window, kFirst, 98, 0), 99);
  EXPECT_TRUE(called);
  MSG message;
  EXPECT_FALSE(PeekMessage(&message)) << "a same-thread send was queued";
  DestroyMessageWindow(window);
}

TEST_F(ApartmentTest, SendFromWorkerRunsOnOwnerAndReturnsResult) {
  std::thread::id procedure_thread;
  HWND window = CreateMessageWindow([&](uint32_t, WPARAM wparam, LPARAM) {
    procedure_thread = std::this_thread::get_id();
    return static_cast<LRESULT>(wparam * 2);
  });
  std::atomic<LRESULT> reply = -1;
  Workers workers;
  workers.Start([&] { reply = SendMessage(window, kFirst, 21, 0); });
  EXPECT_TRUE(PumpUntil([&] { return reply != -1; }));
  EXPECT_EQ(reply, 42);
  EXPECT_EQ(procedure_thread, std::this_thread::get_id());
  DestroyMessageWindow(window);
}

TEST_F(ApartmentTest, SentMessagesRunInsideGetMessageAndAreNotReturned) {
  bool dispatching = false;
  bool sent_ran_inside_dispatch = false;
  HWND window = CreateMessageWindow([&](uint32_t message, WPARAM, LPARAM) {
    if (message == kSecond) sent_ran_inside_dispatch = dispatching;
    return LRESULT{message == kSecond ? 1 : 0};
  });
  std::atomic<LRESULT> reply = -1;
  Workers workers;
  workers.Start([&] { reply = SendMessage(window, kSecond, 0, 0); });
  const auto deadline = std::chrono::steady_clock::now() + kTimeLimit;
  while (reply == -1 && std::chrono::steady_clock::now() < deadline) {
    ASSERT_TRUE(PostMessage(window, kFirst, 0, 0));
    MSG message;
    ASSERT_TRUE(GetMessage(&message));
    ASSERT_EQ(message.message, kFirst) << "GetMessage returned a sent message";
    dispatching = true;
    DispatchMessage(message);
    dispatching = false;
  }
  EXPECT_EQ(reply, 1);
  EXPECT_FALSE(sent_ran_inside_dispatch);
  DestroyMessageWindow(window);
}

TEST_F(ApartmentTest, NestedSendsBetweenTwoThreadsDoNotDeadlock) {
  HWND main_window = CreateMessageWindow(
      [](uint32_t, WPARAM wparam, LPARAM) { return static_cast<LRESULT>(wparam + 1); });
  std::promise<HWND> worker_window;
  std::future<HWND> worker_window_ready = worker_window.get_future();
  Workers workers;
  workers.Start([&] {
    CoInitialize();
    // Answers by asking the main thread, which is itself waiting in a send to us.
    HWND window = CreateMessageWindow([&](uint32_t, WPARAM wparam, LPARAM) {
      return SendMessage(main_window, kSecond, wparam * 10, 0);
    });
    worker_window.set_value(window);
    PumpUntil([&] { return workers.Stopping(); });
    DestroyMessageWindow(window);
    CoUninitialize();
  });
  ASSERT_TRUE(IsReady(worker_window_ready));
  EXPECT_EQ(SendMessage(worker_window_ready.get(), kFirst, 4, 0), 41);
  DestroyMessageWindow(main_window);
}

TEST_F(ApartmentTest, SenderIsReleasedWhenTargetLeavesApartment) {
  // The probe can only be answered while this thread waits inside its send, which tells the
  // target that our message is queued with it before it leaves.
  std::atomic<bool> sending = false;
  HWND main_window = CreateMessageWindow(
      [&](uint32_t, WPARAM, LPARAM) { return LRESULT{sending ? 1 : 0}; });
  std::promise<HWND> target_window;
  std::future<HWND> target_ready = target_window.get_future();
  std::promise<LRESULT> probe;
  std::shared_future<LRESULT> probe_answered = probe.get_future().share();
  std::atomic<bool> target_procedure_ran = false;
  Workers workers;
  workers.Start([&] {
    CoInitialize();
    target_window.set_value(CreateMessageWindow([&](uint32_t, WPARAM, LPARAM) {
      target_procedure_ran = true;
      return LRESULT{5};
    }));
    // Deliberately not pumping: the send must still be queued when we leave.
    probe_answered.wait_for(kTimeLimit);
    CoUninitialize();
  });
  workers.Start([&] { probe.set_value(SendMessage(main_window, kFirst, 0, 0)); });
  ASSERT_TRUE(IsReady(target_ready));
  sending = true;
  EXPECT_EQ(SendMessage(target_ready.get(), kFirst, 0, 0), 0);
  sending = false;
  EXPECT_FALSE(target_procedure_ran);
  ASSERT_EQ(probe_answered.wait_for(kTimeLimit), std::future_status::ready);
  EXPECT_EQ(probe_answered.get(), 1) << "the target left before our send was queued";
  DestroyMessageWindow(main_window);
}

// --- Pumping -----------------------------------------------------------------------------

TEST_F(ApartmentTest, PumpStopsAtQuitAndPutsItBack) {
  int calls = 0;
  HWND window = CreateMessageWindow([&](uint32_t, WPARAM, LPARAM) { return ++calls, LRESULT{0}; });
  ASSERT_TRUE(PostMessage(window, kFirst, 0, 0));
  PostQuitMessage(3);
  ASSERT_TRUE(PostMessage(window, kSecond, 0, 0));
  EXPECT_FALSE(PumpMessagesUntil([] { return false; }, 5));
  EXPECT_EQ(calls, 1);
  MSG message{};
  ASSERT_TRUE(PeekMessage(&message));  // what followed the quit is still there
  EXPECT_EQ(message.message, kSecond);
  ASSERT_TRUE(PeekMessage(&message)) << "the quit was not put back";
  EXPECT_EQ(message.message, WM_QUIT);
  EXPECT_EQ(message.wparam, 3u);
  DestroyMessageWindow(window);
}

TEST_F(ApartmentTest, PumpReturnsTrueWhenDone) {
  int calls = 0;
  HWND window = CreateMessageWindow([&](uint32_t, WPARAM, LPARAM) { return ++calls, LRESULT{0}; });
  ASSERT_TRUE(PostMessage(window, kFirst, 0, 0));
  ASSERT_TRUE(PostMessage(window, kSecond, 0, 0));
  EXPECT_TRUE(PumpMessagesUntil([&] { return calls == 1; }, 5));
  EXPECT_EQ(calls, 1) << "done is checked after each message";
  EXPECT_TRUE(PumpMessagesUntil([&] { return true; }, 5));
  DestroyMessageWindow(window);
}

// --- The main apartment ------------------------------------------------------------------

TEST_F(ApartmentTest, FirstThreadToEnterIsMain) {
  EXPECT_NE(MainApartmentWindow(), nullptr);
  bool worker_is_main = true;
  std::thread([&] {
    CoInitialize();
    worker_is_main = IsMainApartmentThread();
    CoUninitialize();
  }).join();
  EXPECT_FALSE(worker_is_main);
  EXPECT_TRUE(IsMainApartmentThread()) << "another thread leaving ended the main apartment";
}

TEST_F(ApartmentTest, MainApartmentPassesToNextThreadAfterFirstLeaves) {
  CoUninitialize();
  EXPECT_FALSE(IsMainApartmentThread());
  EXPECT_EQ(MainApartmentWindow(), nullptr);
  EXPECT_EQ(RunOnMainThread([] { return S_OK; }), E_UNEXPECTED);

  bool next_is_main = false;
  bool next_has_window = false;
  std::thread([&] {
    CoInitialize();
    next_is_main = IsMainApartmentThread();
    next_has_window = MainApartmentWindow() != nullptr;
    CoUninitialize();
  }).join();
  EXPECT_TRUE(next_is_main);
  EXPECT_TRUE(next_has_window);

  ASSERT_EQ(CoInitialize(), S_OK);  // for TearDown
  EXPECT_TRUE(IsMainApartmentThread());
}

TEST_F(ApartmentTest, RunOnMainThreadFromMainRunsDirectly) {
  std::thread::id ran_on;
  EXPECT_EQ(RunOnMainThread([&] {
              ran_on = std::this_thread::get_id();
              return DISP_E_OVERFLOW;
            }),
            DISP_E_OVERFLOW);
  EXPECT_EQ(ran_on, std::this_thread::get_id());
}

TEST_F(ApartmentTest, RunOnMainThreadFromWorkerWaitsForMainThread) {
  std::thread::id ran_on;
  std::atomic<HRESULT> result = S_OK;
  std::atomic<bool> finished = false;
  Workers workers;
  workers.Start([&] {
    result = RunOnMainThread([&] {
      ran_on = std::this_thread::get_id();
      return DISP_E_OVERFLOW;
    });
    finished = true;
  });
  ASSERT_TRUE(PumpUntil([&] { return finished.load(); }));
  EXPECT_EQ(result, DISP_E_OVERFLOW);
  EXPECT_EQ(ran_on, std::this_thread::get_id());
}

TEST_F(ApartmentTest, RunOnMainThreadTurnsExceptionsIntoResults) {
  EXPECT_EQ(RunOnMainThread([]() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY);
  std::atomic<HRESULT> result = S_OK;
  Workers workers;
  workers.Start([&] { result = RunOnMainThread([]() -> HRESULT { throw 1; }); });
  EXPECT_TRUE(PumpUntil([&] { return result != S_OK; }));
  EXPECT_EQ(result, E_FAIL);
}

// --- Dispatch proxies --------------------------------------------------------------------

TEST_F(ApartmentTest, ProxyOnOwnerThreadCallsObjectDirectly) {
  ObjectLog log;
  ComPtr<IDispatch> proxy = CreateDispatchProxy(NewTestObject(&log).get());
  ASSERT_TRUE(proxy);
  Variant result;
  EXPECT_EQ(CallMember(*proxy, u"Answer", &result, nullptr), S_OK);
  EXPECT_EQ(result.vt, VT_I4);
  EXPECT_EQ(result.lVal, 42);
  EXPECT_EQ(log.invoke_thread.load(), std::this_thread::get_id());
  proxy.Reset();
  EXPECT_TRUE(log.released) << "the proxy's reference was not released on the owner thread";
}

TEST_F(ApartmentTest, ProxyAnswersOnlyForItself) {
  ObjectLog log;
  ComPtr<IDispatch> proxy = CreateDispatchProxy(NewTestObject(&log).get());
  ASSERT_TRUE(proxy);
  EXPECT_EQ(proxy.As<IDispatch>(IID_IDispatch).get(), proxy.get());
  EXPECT_EQ(reinterpret_cast<void*>(proxy.As<IUnknown>(IID_IUnknown).get()),
            reinterpret_cast<void*>(proxy.get()));
  void* other = &log;
  EXPECT_EQ(proxy->QueryInterface(GUID{1, 2, 3, {}}, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  EXPECT_FALSE(CreateDispatchProxy(nullptr));
}

TEST_F(ApartmentTest, ProxyCannotBeMadeOutsideApartment) {
  ObjectLog log;
  bool made = true;
  std::thread([&] {
    ComPtr<IDispatch> object = NewTestObject(&log);
    made = static_cast<bool>(CreateDispatchProxy(object.get()));
  }).join();
  EXPECT_FALSE(made);
}

struct WorkerCalls {
  HRESULT answer_result = E_FAIL;
  int32_t answer = 0;
  HRESULT failure_result = S_OK;
  std::u16string failure_description;
  HRESULT count_result = E_FAIL;
  UINT count = 0;
};

WorkerCalls CallThroughProxy(IDispatch& proxy) {
  WorkerCalls calls;
  Variant answer;
  calls.answer_result = CallMember(proxy, u"Answer", &answer, nullptr);
  calls.answer = answer.lVal;
  Variant ignored;
  EXCEPINFO exception{};
  calls.failure_result = CallMember(proxy, u"Fail", &ignored, &exception);
  calls.failure_description = BstrView(exception.bstrDescription);
  SysFreeString(exception.bstrDescription);
  calls.count_result = proxy.GetTypeInfoCount(&calls.count);
  return calls;
}

TEST_F(ApartmentTest, ProxyCallFromWorkerRunsOnOwnerThread) {
  ObjectLog log;
  ComPtr<IDispatch> proxy = CreateDispatchProxy(NewTestObject(&log).get());
  ASSERT_TRUE(proxy);
  std::promise<WorkerCalls> calls;
  std::future<WorkerCalls> calls_done = calls.get_future();
  Workers workers;
  workers.Start([&] { calls.set_value(CallThroughProxy(*proxy)); });
  ASSERT_TRUE(PumpUntil([&] { return calls_done.wait_for(seconds(0)) == std::future_status::ready; }));
  WorkerCalls seen = calls_done.get();
  EXPECT_EQ(seen.answer_result, S_OK);
  EXPECT_EQ(seen.answer, 42);
  EXPECT_EQ(seen.failure_result, DISP_E_EXCEPTION);
  EXPECT_EQ(seen.failure_description, u"broken");
  EXPECT_EQ(seen.count_result, S_OK);
  EXPECT_EQ(seen.count, 1u);
  EXPECT_EQ(log.invoke_thread.load(), std::this_thread::get_id());
}

TEST_F(ApartmentTest, ProxyReleasedOnWorkerReleasesObjectOnOwner) {
  ObjectLog log;
  ComPtr<IDispatch> proxy = CreateDispatchProxy(NewTestObject(&log).get());
  ASSERT_TRUE(proxy);
  // The worker holds the only reference to the proxy, the proxy the only one to the object.
  Workers workers;
  workers.Start([moved = std::move(proxy)]() mutable { moved.Reset(); });
  ASSERT_TRUE(PumpUntil([&] { return log.released.load(); }));
  EXPECT_EQ(log.release_thread.load(), std::this_thread::get_id());
}

TEST_F(ApartmentTest, ProxyOfDepartedApartmentIsDisconnected) {
  ObjectLog log;
  std::promise<ComPtr<IDispatch>> proxy_made;
  std::future<ComPtr<IDispatch>> proxy_ready = proxy_made.get_future();
  std::thread::id owner_thread;
  std::thread owner([&] {
    owner_thread = std::this_thread::get_id();
    CoInitialize();
    proxy_made.set_value(CreateDispatchProxy(NewTestObject(&log).get()));
    CoUninitialize();
  });
  owner.join();
  ASSERT_TRUE(IsReady(proxy_ready));
  ComPtr<IDispatch> proxy = proxy_ready.get();
  ASSERT_TRUE(proxy);
  EXPECT_TRUE(log.released) << "leaving the apartment kept the object";
  EXPECT_EQ(log.release_thread.load(), owner_thread);
  Variant result;
  EXPECT_EQ(CallMember(*proxy, u"Answer", &result, nullptr), RPC_E_DISCONNECTED);
  UINT count = 0;
  EXPECT_EQ(proxy->GetTypeInfoCount(&count), RPC_E_DISCONNECTED);
}

}  // namespace

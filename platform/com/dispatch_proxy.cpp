// The proxy through which other threads reach an object of an apartment. The object is touched
// only on its own thread: calls from elsewhere are sent to the apartment's own window and run
// there while the caller waits, and the object's last Release happens there too.

#include <atomic>
#include <memory>
#include <new>
#include <utility>

#include "platform/com/apartment.h"
#include "platform/com/message_queue_internal.h"

namespace {

using apartment_internal::CallOnWindowThread;
using apartment_internal::CurrentQueue;
using apartment_internal::kReleaseTargetMessage;
using apartment_internal::MessageQueue;
using apartment_internal::ProxyTarget;

class DispatchProxy final : public IDispatch {
 public:
  /// `target` belongs to the queue of `owner_window`, which is the calling thread's.
  DispatchProxy(std::shared_ptr<MessageWindow> owner_window, ProxyTarget* target)
      : owner_window_(std::move(owner_window)), target_(target) {}

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    // Other interfaces of the object would hand out an unproxied pointer to another thread.
    if (!(iid == IID_IUnknown) && !(iid == IID_IDispatch)) return E_NOINTERFACE;
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return references_.fetch_add(1, std::memory_order_relaxed) + 1; }
  ULONG Release() override;

  HRESULT GetTypeInfoCount(UINT* count) override {
    return Forward([&](IDispatch& object) { return object.GetTypeInfoCount(count); });
  }
  HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override {
    return Forward([&](IDispatch& object) { return object.GetTypeInfo(index, lcid, info); });
  }
  HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                        DISPID* dispids) override {
    return Forward([&](IDispatch& object) {
      return object.GetIDsOfNames(iid, names, count, lcid, dispids);
    });
  }
  HRESULT Invoke(DISPID member, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                 VARIANT* result, EXCEPINFO* exception, UINT* argument_error) override {
    return Forward([&](IDispatch& object) {
      return object.Invoke(member, iid, lcid, flags, params, result, exception, argument_error);
    });
  }

 private:
  // The owner's apartment, not merely its thread: a thread that left and re-entered has a new
  // apartment, and the object went with the old one.
  bool OnOwnerThread() const { return CurrentQueue() == owner_window_->queue.get(); }

  template <class Call>
  HRESULT Forward(const Call& call);
  void ReleaseTarget();

  std::atomic<ULONG> references_{1};
  const std::shared_ptr<MessageWindow> owner_window_;
  ProxyTarget* const target_;  // owned by the owner's queue; read only on the owner thread
};

template <class Call>
HRESULT DispatchProxy::Forward(const Call& call) {
  if (OnOwnerThread()) return call(*target_->object);
  try {
    const std::function<HRESULT()> work = [this, &call]() -> HRESULT {
      // A procedure that closed the apartment may still be unwinding through this call.
      if (!OnOwnerThread()) return RPC_E_DISCONNECTED;
      return call(*target_->object);
    };
    return CallOnWindowThread(owner_window_, work).value_or(RPC_E_DISCONNECTED);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

ULONG DispatchProxy::Release() {
  ULONG remaining = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (remaining != 0) return remaining;
  ReleaseTarget();
  delete this;
  return 0;
}

void DispatchProxy::ReleaseTarget() {
  MessageQueue& owner = *owner_window_->queue;
  if (OnOwnerThread()) {
    owner.ReleaseTarget(target_);
    return;
  }
  // Posted, not sent: the owner may be busy waiting for this very thread. When the post is
  // refused the apartment has closed and already released every object it held for proxies;
  // when memory runs out the object stays until the apartment closes. Either way the object
  // is never touched off its thread.
  owner.Post(owner_window_, MSG{owner_window_.get(), kReleaseTargetMessage, 0,
                                reinterpret_cast<LPARAM>(target_)});
}

}  // namespace

ComPtr<IDispatch> CreateDispatchProxy(IDispatch* object) {
  MessageQueue* queue = CurrentQueue();
  if (queue == nullptr || object == nullptr) return nullptr;
  std::shared_ptr<MessageWindow> own_window = queue->OwnWindow();
  if (!own_window) return nullptr;
  try {
    auto target = std::make_unique<ProxyTarget>();
    target->object = ComPtr<IDispatch>(object);
    auto proxy = std::make_unique<DispatchProxy>(std::move(own_window), target.get());
    queue->AdoptTarget(std::move(target));
    return ComPtr<IDispatch>::Adopt(proxy.release());
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

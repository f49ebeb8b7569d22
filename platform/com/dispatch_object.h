#pragma once
// Objects callable by name. A class declares its members once, in a constexpr table of
// DispatchMember entries (name, dispatch identifier, kinds, argument counts, handler,
// parameter names), and derives from DispatchObject<Class>, which answers QueryInterface,
// reference counting, GetIDsOfNames (names ignore case) and Invoke from that table: positional
// and named arguments, missing optional arguments (VT_ERROR / DISP_E_PARAMNOTFOUND),
// by-reference arguments written back, the default member (dispid 0), _NewEnum (-4), and
// failures as DISP_E_MEMBERNOTFOUND, DISP_E_BADPARAMCOUNT, DISP_E_PARAMNOTOPTIONAL,
// DISP_E_PARAMNOTFOUND or DISP_E_EXCEPTION with the error's number, description and source.

#include <algorithm>
#include <array>
#include <atomic>
#include <new>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/automation/result.h"
#include "platform/automation/variant.h"
#include "platform/com/com_ptr.h"
#include "platform/automation/direct_invoke.h"
#include "platform/com/module_lock.h"
#include "platform/com/object_type_name.h"

enum MemberKind : uint16_t {
  kMethod = DISPATCH_METHOD,
  kPropertyGet = DISPATCH_PROPERTYGET,
  kPropertyPut = DISPATCH_PROPERTYPUT,
  kPropertyPutRef = DISPATCH_PROPERTYPUTREF,
};

/// No upper limit on the argument count of a member.
inline constexpr uint8_t kAnyArgumentCount = 255;

/// The arguments of one call, first argument first, as the member sees them.
class DispatchArguments {
 public:
  static constexpr size_t kMaxArguments = 64;

  /// Argument slots the caller filled, named ones included.
  size_t size() const { return count_; }
  /// The argument with by-reference levels as passed; a Missing value when not supplied.
  const VARIANT& operator[](size_t index) const;
  /// Not supplied, or supplied as VT_ERROR / DISP_E_PARAMNOTFOUND.
  bool IsMissing(size_t index) const;
  /// Writes through a by-reference argument; does nothing for one passed by value.
  Result<void> Assign(size_t index, const VARIANT& value) const;
  /// The value a property put or put-by-reference assigns.
  const VARIANT& value() const;

  /// Fills the slots from DISPPARAMS (the value of a put is taken apart). DISP_E_PARAMNOTFOUND
  /// for a named argument past `max_arguments`, DISP_E_BADPARAMCOUNT outside the counts,
  /// DISP_E_PARAMNOTOPTIONAL when one of the first `min_arguments` is missing.
  HRESULT Fill(DISPPARAMS* params, WORD flags, uint8_t min_arguments, uint8_t max_arguments);
  /// The same from arguments in order (a put's value last), with the same checks.
  HRESULT FillInOrder(VARIANT* arguments, UINT count, WORD flags, uint8_t min_arguments,
                      uint8_t max_arguments);

 private:
  // Only the first `max_arguments` slots are cleared (by Fill) and only those below count_ are
  // read: a call with one argument does not clear 64.
  std::array<VARIANT*, kMaxArguments> slots_;
  size_t count_ = 0;
  VARIANT* value_ = nullptr;
};

template <class T>
struct DispatchMember {
  std::u16string_view name;
  DISPID dispid;
  uint16_t kinds;  // MemberKind bits
  uint8_t min_arguments;
  uint8_t max_arguments;
  Result<Variant> (T::*handler)(const DispatchArguments& arguments);
  std::u16string_view parameters = {};  // parameter names for named arguments, ',' between
};

/// GetIDsOfNames for one member: the parameter names' positions; DISP_E_UNKNOWNNAME (with
/// DISPID_UNKNOWN in their places) when a name is not a parameter.
HRESULT MapParameterNames(std::u16string_view parameters, LPOLESTR* names, UINT count, DISPID* dispids);
bool MemberNameMatches(std::u16string_view member, const OLECHAR* name);
/// Stores a handler's outcome: the value into `result` (when asked), or the error as
/// DISP_E_EXCEPTION (or the platform HRESULT it stands for).
HRESULT CompleteInvoke(Result<Variant> outcome, std::u16string_view source, VARIANT* result,
                       EXCEPINFO* exception);
/// How well an entry of these kinds answers a call with these flags: 2 exactly, 1 by the
/// lenient rules (a method call may read a property and a property read may call a method; a
/// put may use put-by-reference and back), 0 not at all.
int MatchQuality(uint16_t kinds, WORD flags);
/// `object.Member(indices) = value` where Member can only be read: the value is assigned
/// through what Member returns, as scripts expect of collections ("Session.Contents(k) = v",
/// "Response.Cookies(k) = v"). A reader that takes the indices is read with them and the value
/// goes to the default member of the result; otherwise it is read without them and the result's
/// default member is assigned with the indices. DISP_E_MEMBERNOTFOUND when nothing fits.
HRESULT PutThroughMemberValue(IDispatch* object, DISPID member, WORD flags, DISPPARAMS* params,
                              uint8_t reader_max_arguments, EXCEPINFO* exception);

template <class T>
class DispatchObject : public IDispatch, public IObjectTypeName, public IDirectInvoke {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
      *object = static_cast<IDispatch*>(this);
    } else if (iid == IID_IObjectTypeName) {
      *object = static_cast<IObjectTypeName*>(this);
    } else if (iid == IID_IDirectInvoke) {
      *object = static_cast<IDirectInvoke*>(this);
    } else {
      *object = QueryOtherInterface(iid);
    }
    if (*object == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return references_.fetch_add(1) + 1; }
  ULONG Release() override {
    ULONG remaining = references_.fetch_sub(1) - 1;
    if (remaining == 0) delete this;
    return remaining;
  }

  HRESULT GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info != nullptr) *info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* dispids) override {
    if (names == nullptr || dispids == nullptr || count == 0) return E_INVALIDARG;
    for (const DispatchMember<T>& member : T::Members()) {
      if (!MemberNameMatches(member.name, names[0])) continue;
      dispids[0] = member.dispid;
      return MapParameterNames(member.parameters, names + 1, count - 1, dispids + 1);
    }
    for (UINT i = 0; i < count; ++i) dispids[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* exception, UINT*) override {
    const DispatchMember<T>* entry = FindMember(member, flags);
    if (entry == nullptr) {
      constexpr WORD kWriting = DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF;
      const DispatchMember<T>* reader =
          (flags & kWriting) != 0 ? FindMember(member, DISPATCH_PROPERTYGET) : nullptr;
      if (reader == nullptr) return DISP_E_MEMBERNOTFOUND;
      return PutThroughMemberValue(this, member, flags, params, reader->max_arguments, exception);
    }
    DispatchArguments arguments;
    HRESULT hr = arguments.Fill(params, flags, entry->min_arguments, entry->max_arguments);
    if (FAILED(hr)) return hr;
    return RunMember(*entry, arguments, result, exception);
  }
  HRESULT InvokeDirect(DISPID member, WORD flags, VARIANT* arguments, UINT count, VARIANT* result,
                       EXCEPINFO* exception) override {
    const DispatchMember<T>* entry = FindMember(member, flags);
    if (entry == nullptr) return InvokeThroughDispatch(member, flags, arguments, count, result, exception);
    DispatchArguments filled;
    HRESULT hr = filled.FillInOrder(arguments, count, flags, entry->min_arguments, entry->max_arguments);
    if (FAILED(hr)) return hr;
    return RunMember(*entry, filled, result, exception);
  }

 protected:
  DispatchObject() { LockModule(); }
  virtual ~DispatchObject() { UnlockModule(); }
  DispatchObject(const DispatchObject&) = delete;
  DispatchObject& operator=(const DispatchObject&) = delete;

  /// Interfaces beyond IUnknown and IDispatch (the class's own IID, connection points, ...),
  /// returned without a reference added; null when the object lacks it.
  virtual void* QueryOtherInterface(REFIID iid) { return nullptr; }
  /// The source given with errors this object raises.
  virtual std::u16string_view ErrorSource() const { return {}; }
  /// The name TypeName gives for this object; empty reads as "Object".
  std::u16string_view TypeName() override { return {}; }

 private:
  HRESULT RunMember(const DispatchMember<T>& entry, const DispatchArguments& arguments, VARIANT* result,
              EXCEPINFO* exception) {
    try {
      return CompleteInvoke((static_cast<T*>(this)->*(entry.handler))(arguments), ErrorSource(),
                            result, exception);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
  }
  // The rare calls InvokeDirect does not take itself (a put through a member's value) go
  // through Invoke with the arguments laid out as DISPPARAMS.
  HRESULT InvokeThroughDispatch(DISPID member, WORD flags, VARIANT* arguments, UINT count,
                                VARIANT* result, EXCEPINFO* exception) {
    std::vector<VARIANT> reversed(arguments, arguments + count);
    std::reverse(reversed.begin(), reversed.end());
    DISPID put_name = DISPID_PROPERTYPUT;
    bool is_put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    DISPPARAMS params{reversed.data(), is_put ? &put_name : nullptr, count, is_put ? 1u : 0u};
    return Invoke(member, GUID_NULL, 0, flags, &params, result, exception, nullptr);
  }
  static const DispatchMember<T>* FindMember(DISPID dispid, WORD flags) {
    const DispatchMember<T>* lenient = nullptr;
    for (const DispatchMember<T>& member : T::Members()) {
      if (member.dispid != dispid) continue;
      int quality = MatchQuality(member.kinds, flags);
      if (quality == 2) return &member;
      if (quality == 1 && lenient == nullptr) lenient = &member;
    }
    return lenient;
  }

  std::atomic<ULONG> references_{1};  // the creator owns the first reference
};

/// A new object, owned by the returned pointer.
template <class T, class... Arguments>
ComPtr<T> MakeObject(Arguments&&... arguments) {
  return ComPtr<T>::Adopt(new T(std::forward<Arguments>(arguments)...));
}

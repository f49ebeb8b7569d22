// A .NET module of our own for the bridge tests: it keeps the bridge's contract (created by
// ProgID, ProcessRequestEx or ProcessRequest found by name, the page written through the
// Response object) and misbehaves on request, by the page's name:
//   raise.aspx  raises an automation exception with a description;
//   fail.aspx   returns a failure code (access denied);
//   hang.aspx   waits the number of milliseconds in the query string, then tries to write;
//   anything else writes a page naming every string and object it was given.
// The classes: PageModule ("Mirrowen2.CMirrowen", ProcessRequestEx), PlainModule
// ("Mirrowen.CMirroServer", ProcessRequest only) and EmptyModule (neither method).
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "platform/automation/conversion.h"
#include "platform/automation/dispatch_call.h"
#include "platform/com/class_factory.h"
#include "platform/com/dispatch_object.h"

namespace {

std::atomic<int> g_created{0};
std::atomic<int> g_calls{0};
std::atomic<int> g_late_write{0};  // the HRESULT of hang.aspx's late write; 1 until it happened

std::u16string TextOf(const VARIANT& value) {
  Result<Bstr> text = ToBstr(value);
  return text.ok() ? std::u16string(text.value().view()) : u"<not text>";
}

Result<Variant> Write(IDispatch* response, std::u16string_view text) {
  Variant argument = Variant::FromString(text);
  const VARIANT* arguments = &argument;
  return CallMember(response, u"Write", {arguments, 1});
}

// Write called without the helpers, so the object's own result code is seen.
HRESULT RawWrite(IDispatch* response, std::u16string_view text) {
  std::u16string name = u"Write";
  OLECHAR* names[] = {name.data()};
  DISPID dispid = DISPID_UNKNOWN;
  HRESULT hr = response->GetIDsOfNames(GUID_NULL, names, 1, 0, &dispid);
  if (FAILED(hr)) return hr;
  Variant argument = Variant::FromString(text);
  DISPPARAMS params{&argument, nullptr, 1, 0};
  return response->Invoke(dispid, GUID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
}

bool EndsWith(std::u16string_view text, std::u16string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

class PageModule : public DispatchObject<PageModule> {
 public:
  PageModule() { ++g_created; }
  static std::span<const DispatchMember<PageModule>> Members() {
    static constexpr DispatchMember<PageModule> kMembers[] = {
        {u"ProcessRequestEx", 1, kMethod, 8, 8, &PageModule::ProcessRequestEx,
         u"AllHttp,AllRaw,UrlPath,QueryString,ClientAddress,Server,Request,Response"},
    };
    return kMembers;
  }

 private:
  Result<Variant> ProcessRequestEx(const DispatchArguments& arguments) {
    ++g_calls;
    std::u16string path = TextOf(arguments[2]);
    std::u16string query = TextOf(arguments[3]);
    IDispatch* server = PeekValue(arguments[5]).pdispVal;
    IDispatch* request = PeekValue(arguments[6]).pdispVal;
    IDispatch* response = PeekValue(arguments[7]).pdispVal;
    if (EndsWith(path, u"raise.aspx")) return Error::Script(1000, u"The page <b>broke</b>", u"PageModule");
    if (EndsWith(path, u"fail.aspx")) return Error::FromHresult(E_ACCESSDENIED);
    if (EndsWith(path, u"hang.aspx")) {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(std::string(query.begin(), query.end()))));
      g_late_write = RawWrite(response, u"late text");
      return Variant();
    }
    std::u16string page = u"<p>path=" + path + u"|query=" + query + u"|client=" + TextOf(arguments[4]);
    page += TextOf(arguments[0]).find(u"HTTP_HOST:") != std::u16string::npos ? u"|http=yes" : u"|http=no";
    page += TextOf(arguments[1]).find(u"Host:") != std::u16string::npos ? u"|raw=yes" : u"|raw=no";
    Result<Variant> document = CallMember(server, u"DefaultDocument");
    page += u"|server=" + (document.ok() ? TextOf(document.value()) : u"<unreachable>");
    Result<Variant> method = CallMember(request, u"RequestType");
    page += u"|method=" + (method.ok() ? TextOf(method.value()) : u"<unreachable>");
    page += u"</p>";
    TRY(Write(response, page));
    return Variant();
  }
};

class PlainModule : public DispatchObject<PlainModule> {
 public:
  PlainModule() { ++g_created; }
  static std::span<const DispatchMember<PlainModule>> Members() {
    static constexpr DispatchMember<PlainModule> kMembers[] = {
        {u"ProcessRequest", 1, kMethod, 3, 3, &PlainModule::ProcessRequest, u"Server,Request,Response"},
    };
    return kMembers;
  }

 private:
  Result<Variant> ProcessRequest(const DispatchArguments& arguments) {
    ++g_calls;
    TRY(Write(PeekValue(arguments[2]).pdispVal, u"plain module"));
    return Variant();
  }
};

class EmptyModule : public DispatchObject<EmptyModule> {
 public:
  EmptyModule() { ++g_created; }
  static std::span<const DispatchMember<EmptyModule>> Members() {
    static constexpr DispatchMember<EmptyModule> kMembers[] = {
        {u"Version", 1, kPropertyGet, 0, 0, &EmptyModule::Version},
    };
    return kMembers;
  }

 private:
  Result<Variant> Version(const DispatchArguments&) { return Variant::FromI4(1); }
};

template <class T>
IUnknown* Create() {
  return static_cast<IDispatch*>(new (std::nothrow) T());
}

constexpr GUID TestId(uint8_t kind, uint8_t index) {
  return {0x3C51A7E2, 0x19D4, 0x4F0B, {0x8A, 0x22, 0x6E, 0x90, 0x11, 0x5D, kind, index}};
}

constexpr CLSID kPageId = TestId(0x0A, 1);
constexpr CLSID kPlainId = TestId(0x0A, 2);
constexpr CLSID kEmptyId = TestId(0x0A, 3);

constexpr TypeLibraryClass kClassTable[] = {
    {u"PageModule", kPageId, u"_PageModule", TestId(0x0B, 1), u"", GUID_NULL, kClassCreatable,
     ThreadingModel::Apartment, u"Mirrowen2.CMirrowen"},
    {u"PlainModule", kPlainId, u"_PlainModule", TestId(0x0B, 2), u"", GUID_NULL, kClassCreatable,
     ThreadingModel::Apartment, u"Mirrowen.CMirroServer"},
    {u"EmptyModule", kEmptyId, u"_EmptyModule", TestId(0x0B, 3), u"", GUID_NULL, kClassCreatable,
     ThreadingModel::Apartment},
};

constexpr TypeLibrary kLibrary{u"DotNetTest", TestId(0x0A, 0), 1, 0, 1033, u"Bridge test module",
                               kClassTable, {}};

constexpr ModuleClass kClasses[] = {
    {&kPageId, &Create<PageModule>},
    {&kPlainId, &Create<PlainModule>},
    {&kEmptyId, &Create<EmptyModule>},
};

}  // namespace

WENDREL_DEFINE_MODULE_ENTRY_POINTS(kLibrary, kClasses)

/// What the module saw since the last reset: objects created, calls made, and the result of
/// hang.aspx's late write (1 while it has not happened).
WENDREL_EXPORT void DotNetTestCounters(int* created, int* calls, int* late_write) {
  *created = g_created;
  *calls = g_calls;
  *late_write = g_late_write;
}

WENDREL_EXPORT void DotNetTestReset() {
  g_created = 0;
  g_calls = 0;
  g_late_write = 1;
}

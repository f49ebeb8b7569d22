// ODBCList: lists the data sources of the ODBC driver manager as a Scripting.Dictionary from
// data-source name to driver description. The driver manager is the shared one, loaded at the
// first call, so that the report engine loads on machines without one.
#include "tabulix32/utilities/odbc_list.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "platform/automation/conversion.h"
#include "platform/automation/dispatch_call.h"
#include "platform/com/creation.h"
#include "platform/system/code_page.h"
#include "platform/system/odbc_driver_manager.h"
#include "tabulix32/utilities/odbc_list_internal.h"

namespace odbc_list_internal {
namespace {

bool IsSuccess(SqlReturn code) { return code == kSqlSuccess || code == kSqlSuccessWithInfo; }

// An ODBC 3 environment, released when the enumeration ends.
class Environment {
 public:
  explicit Environment(const DriverManagerCalls& calls) : calls_(calls) {}
  ~Environment() {
    if (handle_ != nullptr) calls_.free_handle(kSqlHandleEnvironment, handle_);
  }
  Environment(const Environment&) = delete;
  Environment& operator=(const Environment&) = delete;

  /// Allocates the environment and asks for ODBC 3 behaviour, without which the driver
  /// manager refuses to enumerate; false when either step fails.
  bool Allocate() {
    SqlHandle handle = nullptr;
    if (!IsSuccess(calls_.alloc_handle(kSqlHandleEnvironment, nullptr, &handle))) return false;
    handle_ = handle;
    void* version = reinterpret_cast<void*>(kSqlOdbcVersion3);
    return IsSuccess(calls_.set_environment_attribute(handle_, kSqlAttributeOdbcVersion,
                                                      version, 0));
  }
  SqlHandle handle() const { return handle_; }

 private:
  const DriverManagerCalls& calls_;
  SqlHandle handle_ = nullptr;
};

// The name and description buffers of one SQLDataSources call. Each has one byte more than
// the driver manager is told, so that its text always ends inside the buffer.
struct SourceBuffers {
  using Buffer = std::array<unsigned char, kBufferCharacters + 1>;
  Buffer name{};
  Buffer description{};
  int16_t name_length = 0;
  int16_t description_length = 0;
};

SqlReturn Fetch(const DriverManagerCalls& calls, SqlHandle environment, uint16_t direction,
                SourceBuffers& buffers) {
  buffers = SourceBuffers{};
  return calls.data_sources(environment, direction, buffers.name.data(), kBufferCharacters,
                            &buffers.name_length, buffers.description.data(),
                            kBufferCharacters, &buffers.description_length);
}

// The first `length` characters of a buffer, in the ANSI code page. A driver manager that
// had to cut a text reports its full length, so the length never reaches past the text the
// buffer holds.
std::u16string BufferText(const SourceBuffers::Buffer& buffer, int16_t length) {
  const char* bytes = reinterpret_cast<const char*>(buffer.data());
  size_t held = strnlen(bytes, buffer.size());
  size_t used = length <= 0 ? 0 : std::min(static_cast<size_t>(length), held);
  return BytesToText(std::string_view(bytes, used), CP_ACP);
}

bool IsBlank(std::u16string_view text) {
  return text.find_first_not_of(u' ') == std::u16string_view::npos;
}

// Adds name → description unless the name is blank or already listed (the first occurrence
// wins). A failing dictionary call skips the entry; it does not end the enumeration.
void AddDataSource(IDispatch* dictionary, const SourceBuffers& buffers) {
  std::u16string name = BufferText(buffers.name, buffers.name_length);
  if (IsBlank(name)) return;
  Variant key = Variant::FromString(name);
  const VARIANT exists_arguments[] = {key};
  Result<Variant> exists = CallMember(dictionary, u"Exists", exists_arguments);
  if (!exists.ok()) return;
  Result<bool> listed = ToBool(exists.value());
  if (!listed.ok() || listed.value()) return;
  Variant description =
      Variant::FromString(BufferText(buffers.description, buffers.description_length));
  const VARIANT add_arguments[] = {key, description};
  (void)CallMember(dictionary, u"Add", add_arguments);
}

// The direction as the driver manager's 16-bit value (a negative one keeps its bits); none
// for a value outside the 16-bit range, which names no direction.
std::optional<uint16_t> DirectionOf(int32_t direction) {
  if (direction < std::numeric_limits<int16_t>::min() ||
      direction > std::numeric_limits<int16_t>::max()) {
    return std::nullopt;
  }
  return static_cast<uint16_t>(static_cast<int16_t>(direction));
}

}  // namespace

const DriverManagerCalls* SystemDriverManager() {
  static const std::optional<DriverManagerCalls> calls = []() -> std::optional<DriverManagerCalls> {
    const odbc::DriverManager* manager = odbc::LoadDriverManager();
    if (manager == nullptr) return std::nullopt;
    return DriverManagerCalls{manager->AllocHandle, manager->SetEnvAttr, manager->DataSources,
                              manager->FreeHandle};
  }();
  return calls ? &*calls : nullptr;
}

Variant ListDataSources(const DriverManagerCalls* calls, IDispatch* dictionary,
                        int32_t direction) {
  Variant list = Variant::FromDispatch(dictionary);
  if (calls == nullptr) return list;
  Environment environment(*calls);
  if (!environment.Allocate()) return list;
  std::optional<uint16_t> first_direction = DirectionOf(direction);
  // A direction the driver manager cannot be given is refused as one it does not know.
  if (!first_direction) return Variant();
  SourceBuffers buffers;
  SqlReturn code = Fetch(*calls, environment.handle(), *first_direction, buffers);
  for (int32_t listed = 0; listed < kMaxDataSources; ++listed) {
    // The buffers hold nothing once the driver manager reports the end, not even after the
    // first call.
    if (code == kSqlNoData) return list;
    if (!IsSuccess(code)) return Variant();
    AddDataSource(dictionary, buffers);
    code = Fetch(*calls, environment.handle(), kSqlFetchNext, buffers);
  }
  return list;
}

}  // namespace odbc_list_internal

namespace {

constexpr std::u16string_view kDictionaryProgId = u"scripting.Dictionary";

}  // namespace

std::span<const DispatchMember<ODBCList>> ODBCList::Members() {
  static constexpr DispatchMember<ODBCList> kMembers[] = {
      {u"getDataSources", 1, kMethod, 1, 1, &ODBCList::getDataSources, u"fetchStart"},
  };
  return kMembers;
}

Result<Variant> ODBCList::getDataSources(const DispatchArguments& arguments) {
  // The argument is typed as a 32-bit integer: it converts before anything else happens.
  int32_t direction = TRY(ToInt32(arguments[0]));
  ComPtr<IDispatch> dictionary = TRY(CreateObject(kDictionaryProgId));
  return odbc_list_internal::ListDataSources(odbc_list_internal::SystemDriverManager(),
                                             dictionary.get(), direction);
}

IUnknown* CreateODBCList() { return static_cast<IDispatch*>(new (std::nothrow) ODBCList()); }

#include "wendrel/asp/request.h"

#include <pwd.h>
#include <unistd.h>

#include <array>
#include <cstring>

#include "platform/automation/conversion.h"
#include "platform/automation/safearray.h"
#include "platform/com/error_info.h"
#include "wendrel/asp/http_cookie.h"
#include "wendrel/asp/item.h"
#include "wendrel/asp/server_variables.h"
#include "wendrel/common/byte_string.h"
#include "wendrel/common/narrow_text.h"

namespace {

constexpr CollectionOptions kRequestCollectionOptions{.merge_duplicate_keys = true,
                                                      .empty_item_for_missing_key = true};

constexpr int32_t kInputPastEndOfFile = 10001;

// The user the server runs as, "??" when it cannot be read.
std::string LogonUser() {
  std::array<char, 4096> buffer{};
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found) {
    return "??";
  }
  return found->pw_name;
}

// The computed server variables, in the order a name is compared with them.
struct ComputedVariableEntry {
  std::string_view name;
  std::string (*value)(const Request& request);
};

std::string HttpsState(const Request& request) {
  return request.OverTls() ? "ON" : "OFF";
}
std::string LocalAddress(const Request& request) {
  return request.Server() != nullptr ? request.Server()->LocalAddress() : std::string();
}
std::string LocalPort(const Request& request) {
  return std::to_string(request.Server() != nullptr ? request.Server()->Port() : 0);
}
std::string ContentLengthText(const Request& request) {
  return std::to_string(request.ContentLength());
}

}  // namespace

// Fields that Request keeps private are read through these accessors of the table.
struct RequestFields {
  static const std::string& Accept(const Request& r) { return r.accept_; }
  static const std::string& Language(const Request& r) { return r.language_; }
  static const std::string& ContentType(const Request& r) { return r.content_type_; }
  static const std::string& Password(const Request& r) { return r.auth_password_; }
};

namespace {

#define REQUEST_TEXT(expression) [](const Request& r) { return std::string(expression); }

constexpr ComputedVariableEntry kComputedVariables[] = {
    {"PATH_TRANSLATED", REQUEST_TEXT(r.DefaultResponseFile())},
    {"PATH_INFO", REQUEST_TEXT(r.RequestPage())},
    {"SCRIPT_NAME", REQUEST_TEXT(r.RequestPage())},
    {"SERVER_SOFTWARE", REQUEST_TEXT("WENDREL/ASP")},
    {"HTTPS", &HttpsState},
    {"REMOTE_ADDR", REQUEST_TEXT(r.ClientAddress())},
    {"REMOTE_HOST", REQUEST_TEXT(r.ClientAddress())},
    {"LOCAL_ADDR", &LocalAddress},
    {"LOCAL_PORT", &LocalPort},
    {"REQUEST_METHOD", REQUEST_TEXT(r.Method())},
    {"SERVER_PROTOCOL", REQUEST_TEXT(r.Protocol())},
    {"LOGON_USER", [](const Request&) { return LogonUser(); }},
    {"HTTP_ACCEPT", REQUEST_TEXT(RequestFields::Accept(r))},
    {"HTTP_REFERER", REQUEST_TEXT(r.RefererHeader())},
    {"HTTP_ACCEPT_LANGUAGE", REQUEST_TEXT(RequestFields::Language(r))},
    {"CONTENT_TYPE", REQUEST_TEXT(RequestFields::ContentType(r))},
    {"HTTP_CONTENT_TYPE", REQUEST_TEXT(RequestFields::ContentType(r))},
    {"HTTP_ACCEPT_ENCODING", REQUEST_TEXT(r.AcceptEncodingHeader())},
    {"HTTP_USER_AGENT", REQUEST_TEXT(r.UserAgentHeader())},
    {"HTTP_HOST", REQUEST_TEXT(r.HostHeader())},
    {"CONTENT_LENGTH", &ContentLengthText},
    {"HTTP_CONTENT_LENGTH", &ContentLengthText},
    {"HTTP_CONNECTION", REQUEST_TEXT(r.ConnectionValue())},
    {"HTTP_COOKIE", REQUEST_TEXT(r.CookieText())},
    {"AUTH_TYPE", REQUEST_TEXT("BASIC")},
    {"AUTH_PASSWORD", REQUEST_TEXT(RequestFields::Password(r))},
    {"AUTH_USER", REQUEST_TEXT(r.AuthUser())},
    {"REMOTE_USER", REQUEST_TEXT(r.AuthUser())},
    {"IF_NONE_MATCH", REQUEST_TEXT(r.IfNoneMatch())},
    {"URL", REQUEST_TEXT(r.UrlPath())},
    {"QUERY_STRING", REQUEST_TEXT(r.QueryText())},
};

#undef REQUEST_TEXT

}  // namespace

Request::Request(const RequestServer* server)
    : server_(server),
      query_string_(MakeObject<Collection>(&Item::MakeRequestValue, kRequestCollectionOptions)),
      form_(MakeObject<Collection>(&Item::MakeRequestValue, kRequestCollectionOptions)),
      cookies_(MakeObject<Collection>(&CHTTPCookie::Make, kRequestCollectionOptions)),
      server_variables_(MakeObject<ServerVariables>(this)) {}

Request::~Request() { server_variables_->DetachRequest(); }

Collection& Request::ServerVariablesCollection() { return *server_variables_; }

std::optional<std::string> Request::ComputedVariable(std::string_view name) const {
  for (const ComputedVariableEntry& entry : kComputedVariables) {
    if (BytesEqualIgnoringCase(name, entry.name)) return entry.value(*this);
  }
  return std::nullopt;
}

void Request::Reset() {
  for (std::string* field : {&auth_username_, &auth_password_, &accept_, &referer_, &language_,
                             &content_type_, &accept_encoding_, &user_agent_, &host_,
                             &server_name_, &connection_, &if_none_match_, &cookie_text_}) {
    field->clear();
  }
  request_length_ = 0;
  if_modified_since_ = 0;
  read_position_ = 0;
  full_parse_ = false;
  query_string_->RemoveAllEntries();
  form_->RemoveAllEntries();
  cookies_->RemoveAllEntries();
  server_variables_->RemoveAllEntries();
}

std::span<const DispatchMember<Request>> Request::Members() {
  using R = Request;
  constexpr uint16_t kGet = kPropertyGet | kMethod;
  static constexpr DispatchMember<R> kMembers[] = {
      {u"Item", DISPID_VALUE, kGet, 1, 1, &R::GetItem, u"Index"},
      {u"ContentType", 1, kPropertyGet, 0, 0, &R::GetContentType},
      {u"RequestType", 2, kPropertyGet, 0, 0, &R::GetRequestType},
      {u"Accept", 3, kPropertyGet, 0, 0, &R::GetAccept},
      {u"Refferer", 4, kPropertyGet, 0, 0, &R::GetRefferer},
      {u"UserAgent", 5, kPropertyGet, 0, 0, &R::GetUserAgent},
      {u"Host", 6, kPropertyGet, 0, 0, &R::GetHost},
      {u"Language", 7, kPropertyGet, 0, 0, &R::GetLanguage},
      {u"RequestLength", 8, kPropertyGet, 0, 0, &R::GetRequestLength},
      {u"ConnectionType", 9, kPropertyGet, 0, 0, &R::GetConnectionType},
      {u"RequestPage", 10, kPropertyGet, 0, 0, &R::GetRequestPage},
      {u"Protocol", 11, kPropertyGet, 0, 0, &R::GetProtocol},
      {u"Body", 12, kPropertyGet, 0, 0, &R::GetBody},
      {u"RequestBody", 13, kPropertyGet, 0, 0, &R::GetBody},
      {u"QueryString", 14, kGet, 0, 0, &R::GetQueryString},
      {u"Form", 15, kGet, 0, 0, &R::GetForm},
      {u"Cookies", 16, kGet, 0, 0, &R::GetCookies},
      {u"ServerVariables", 17, kGet, 0, 0, &R::GetServerVariables},
      {u"ClientAddress", 18, kPropertyGet, 0, 0, &R::GetClientAddress},
      {u"DefaultResponseFile", 19, kPropertyGet, 0, 0, &R::GetDefaultResponseFile},
      {u"DefaultResponseFile", 19, kPropertyPut, 0, 0, &R::PutDefaultResponseFile},
      {u"AcceptEncoding", 20, kPropertyGet, 0, 0, &R::GetAcceptEncoding},
      {u"AuthUsername", 21, kPropertyGet, 0, 0, &R::GetAuthUsername},
      {u"AuthPassword", 22, kPropertyGet, 0, 0, &R::GetAuthPassword},
      {u"BinaryRead", 23, kMethod, 1, 1, &R::BinaryRead, u"Count"},
      {u"TotalBytes", 24, kPropertyGet, 0, 0, &R::GetRequestLength},
      {u"ClientCertificate", 25, kPropertyGet, 0, 0, &R::GetClientCertificate},
      {u"MapPath", 26, kMethod, 1, 1, &R::MapPath, u"InPath"},
  };
  return kMembers;
}

Result<Variant> Request::GetContentType(const DispatchArguments&) {
  return NarrowTextVariant(content_type_);
}
Result<Variant> Request::GetRequestType(const DispatchArguments&) {
  return NarrowTextVariant(method_);
}
Result<Variant> Request::GetAccept(const DispatchArguments&) { return NarrowTextVariant(accept_); }
Result<Variant> Request::GetRefferer(const DispatchArguments&) {
  return NarrowTextVariant(referer_);
}
Result<Variant> Request::GetUserAgent(const DispatchArguments&) {
  return NarrowTextVariant(user_agent_);
}
Result<Variant> Request::GetHost(const DispatchArguments&) { return NarrowTextVariant(host_); }
Result<Variant> Request::GetLanguage(const DispatchArguments&) {
  return NarrowTextVariant(language_);
}
Result<Variant> Request::GetRequestLength(const DispatchArguments&) {
  return Variant::FromI4(request_length_);
}
Result<Variant> Request::GetConnectionType(const DispatchArguments&) {
  return NarrowTextVariant(connection_);
}
Result<Variant> Request::GetRequestPage(const DispatchArguments&) {
  return NarrowTextVariant(request_page_);
}
Result<Variant> Request::GetProtocol(const DispatchArguments&) {
  return NarrowTextVariant(protocol_);
}
Result<Variant> Request::GetBody(const DispatchArguments&) { return NarrowTextVariant(body_); }
Result<Variant> Request::GetQueryString(const DispatchArguments&) {
  return Variant::FromDispatch(query_string_.get());
}
Result<Variant> Request::GetForm(const DispatchArguments&) {
  return Variant::FromDispatch(form_.get());
}
Result<Variant> Request::GetCookies(const DispatchArguments&) {
  return Variant::FromDispatch(cookies_.get());
}
Result<Variant> Request::GetServerVariables(const DispatchArguments&) {
  return Variant::FromDispatch(server_variables_.get());
}
Result<Variant> Request::GetClientAddress(const DispatchArguments&) {
  return NarrowTextVariant(client_address_);
}
Result<Variant> Request::GetDefaultResponseFile(const DispatchArguments&) {
  return NarrowTextVariant(default_response_file_);
}
Result<Variant> Request::PutDefaultResponseFile(const DispatchArguments& arguments) {
  default_response_file_ = TRY(NarrowTextOf(arguments.value()));
  return Variant();
}
Result<Variant> Request::GetAcceptEncoding(const DispatchArguments&) {
  return NarrowTextVariant(accept_encoding_);
}
Result<Variant> Request::GetAuthUsername(const DispatchArguments&) {
  return NarrowTextVariant(auth_username_);
}
Result<Variant> Request::GetAuthPassword(const DispatchArguments&) {
  return NarrowTextVariant(auth_password_);
}
Result<Variant> Request::GetClientCertificate(const DispatchArguments&) {
  return Variant::FromDispatch(nullptr);
}

// BinaryRead(Count): up to Count body bytes from the read position, which moves past them, so
// that a page can read a body in pieces. Count is written back with the number read.
Result<Variant> Request::BinaryRead(const DispatchArguments& arguments) {
  int32_t wanted = TRY(ToInt32(arguments[0]));
  if (wanted < 0) return ErrorNumber::InvalidProcedureCall;
  if (static_cast<size_t>(read_position_) > body_.size()) {
    return Error::Script(kInputPastEndOfFile, u"Input past end of file");
  }
  size_t available = body_.size() - static_cast<size_t>(read_position_);
  size_t count = std::min(available, static_cast<size_t>(wanted));
  SAFEARRAY* bytes = SafeArrayCreateVector(VT_UI1, 0, static_cast<uint32_t>(count));
  if (bytes == nullptr) return ErrorNumber::OutOfMemory;
  if (count > 0) std::memcpy(bytes->pvData, body_.data() + read_position_, count);
  read_position_ += static_cast<int32_t>(count);
  TRY(arguments.Assign(0, Variant::FromI4(static_cast<int32_t>(count))));
  return Variant::FromArray(VT_UI1, bytes);
}

// Request(name): QueryString, then Form, then Cookies, then the server variables; never
// Nothing (an empty Item when nothing has the name).
Result<Variant> Request::GetItem(const DispatchArguments& arguments) {
  VARIANT index = PeekValue(arguments[0]);
  Variant key_value;
  if (index.vt == VT_DISPATCH) {
    if (index.pdispVal == nullptr) return Error::FromHresult(E_FAIL);
    key_value = TRY(DefaultValueOf(index.pdispVal));
    if (key_value.vt != VT_BSTR) return Error::FromHresult(E_FAIL);
    index = key_value;
  }
  std::string key = TRY(NarrowTextOf(index));
  for (Collection* collection : {query_string_.get(), form_.get(), cookies_.get()}) {
    if (ComPtr<IDispatch> found = collection->FindEntry(key)) {
      return Variant::FromDispatch(found.get());
    }
  }
  if (std::optional<std::string> variable = ComputedVariable(key)) {
    ComPtr<::Item> item = MakeObject<::Item>(*variable, ::Item::Values::Single, CP_ACP, *variable);
    return Variant::FromDispatch(item.get());
  }
  ComPtr<::Item> empty = MakeObject<::Item>(std::string(), ::Item::Values::Single, CP_ACP,
                                            std::nullopt);
  return Variant::FromDispatch(empty.get());
}

Result<Variant> Request::MapPath(const DispatchArguments& arguments) {
  std::string virtual_path = TRY(NarrowTextOf(arguments[0]));
  if (server_ == nullptr) return Variant::FromString(u"");
  std::optional<std::string> physical = server_->MapVirtualPath(virtual_path, *this);
  return NarrowTextVariant(physical.value_or(std::string()));
}

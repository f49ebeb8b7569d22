#pragma once
// Request: one HTTP request as the host and the pages see it: the request line, the headers it
// knows by name, the body, and the QueryString, Form, Cookies and ServerVariables collections.
// The connection fills it in two steps, LoadHead from the parsed head and ParseBody once
// the body has arrived; the object is reused for the next request of its worker. All text is
// narrow and read as the ANSI code page unless an Item says otherwise. Used by one worker
// thread (and the page it runs) at a time: no lock of its own.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/com/dispatch_object.h"
#include "wendrel/asp/collection.h"
#include "wendrel/asp/request_server.h"

class ServerVariables;
struct RequestHead;

class Request : public DispatchObject<Request> {
 public:
  /// `server` may be null (no upload settings, no path mapping); it must outlive the request.
  explicit Request(const RequestServer* server);
  ~Request() override;

  static std::span<const DispatchMember<Request>> Members();
  std::u16string_view TypeName() override { return u"IRequest"; }

  /// Fills the request from a parsed head (the parser has refused anything it cannot frame).
  /// With `decide_by_extension`, only pages whose extension needs it (not static files) get
  /// their server variables and collections filled. Returns the Content-Length, 0 when absent,
  /// clamped to the server's MaxUploadSize.
  int32_t LoadHead(const RequestHead& head, bool decide_by_extension);
  /// The same from the text of a head (request line and header lines separated by CR LF,
  /// without the blank line), for hosts and tests that hold text; a head the parser refuses
  /// leaves the request empty and gives 0.
  int32_t ParseHeader(std::string_view header_block, bool decide_by_extension);
  /// Fills QueryString, Form (URL-encoded or multipart, with uploads) and Cookies from the
  /// path, the body and the cookie headers; call after SetBody.
  void ParseBody();
  /// Empties every field and collection (the next request starts clean).
  void Reset();

  void SetBody(std::string_view body) { body_.assign(body); }
  void SetClientAddress(std::string_view address) { client_address_ = address; }
  void SetDefaultResponseFile(std::string_view path) { default_response_file_ = path; }

  const std::string& Method() const { return method_; }
  const std::string& Protocol() const { return protocol_; }
  const std::string& RequestPage() const { return request_page_; }
  const std::string& UrlPath() const { return url_path_; }
  const std::string& QueryText() const { return query_text_; }
  const std::string& ConnectionValue() const { return connection_; }
  const std::string& HostHeader() const { return host_; }
  const std::string& ServerName() const { return server_name_; }
  const std::string& UserAgentHeader() const { return user_agent_; }
  const std::string& RefererHeader() const { return referer_; }
  const std::string& AcceptEncodingHeader() const { return accept_encoding_; }
  const std::string& IfNoneMatch() const { return if_none_match_; }
  const std::string& CookieText() const { return cookie_text_; }
  const std::string& ClientAddress() const { return client_address_; }
  const std::string& DefaultResponseFile() const { return default_response_file_; }
  const std::string& AuthUser() const { return auth_username_; }
  const std::string& Body() const { return body_; }
  /// 100-ns intervals since 1601 (UTC), 0 when absent or unreadable.
  int64_t IfModifiedSince() const { return if_modified_since_; }
  int32_t ContentLength() const { return request_length_; }
  bool FullParse() const { return full_parse_; }
  const RequestServer* Server() const { return server_; }
  /// The request came over HTTPS (the server holds a TLS context).
  bool OverTls() const { return server_ != nullptr && server_->HoldsSslContext(); }

  Collection& QueryStringCollection() { return *query_string_; }
  Collection& FormCollection() { return *form_; }
  Collection& CookiesCollection() { return *cookies_; }
  Collection& ServerVariablesCollection();

  /// The value of a computed server variable (PATH_INFO, HTTP_USER_AGENT, ...; name ignoring
  /// case), or nothing for a name that is not computed.
  std::optional<std::string> ComputedVariable(std::string_view name) const;

  // Dispatch members.
  Result<Variant> GetContentType(const DispatchArguments& arguments);
  Result<Variant> GetRequestType(const DispatchArguments& arguments);
  Result<Variant> GetAccept(const DispatchArguments& arguments);
  Result<Variant> GetRefferer(const DispatchArguments& arguments);
  Result<Variant> GetUserAgent(const DispatchArguments& arguments);
  Result<Variant> GetHost(const DispatchArguments& arguments);
  Result<Variant> GetLanguage(const DispatchArguments& arguments);
  Result<Variant> GetRequestLength(const DispatchArguments& arguments);
  Result<Variant> GetConnectionType(const DispatchArguments& arguments);
  Result<Variant> GetRequestPage(const DispatchArguments& arguments);
  Result<Variant> GetProtocol(const DispatchArguments& arguments);
  Result<Variant> GetBody(const DispatchArguments& arguments);
  Result<Variant> GetQueryString(const DispatchArguments& arguments);
  Result<Variant> GetForm(const DispatchArguments& arguments);
  Result<Variant> GetCookies(const DispatchArguments& arguments);
  Result<Variant> GetServerVariables(const DispatchArguments& arguments);
  Result<Variant> GetClientAddress(const DispatchArguments& arguments);
  Result<Variant> GetDefaultResponseFile(const DispatchArguments& arguments);
  Result<Variant> PutDefaultResponseFile(const DispatchArguments& arguments);
  Result<Variant> GetAcceptEncoding(const DispatchArguments& arguments);
  Result<Variant> GetAuthUsername(const DispatchArguments& arguments);
  Result<Variant> GetAuthPassword(const DispatchArguments& arguments);
  Result<Variant> BinaryRead(const DispatchArguments& arguments);
  Result<Variant> GetClientCertificate(const DispatchArguments& arguments);
  Result<Variant> GetItem(const DispatchArguments& arguments);
  Result<Variant> MapPath(const DispatchArguments& arguments);

 private:
  friend class RequestHeaderParser;
  friend class RequestBodyParser;
  friend struct RequestFields;

  const RequestServer* server_;
  ComPtr<Collection> query_string_;
  ComPtr<Collection> form_;
  ComPtr<Collection> cookies_;
  ComPtr<ServerVariables> server_variables_;

  std::string method_;
  std::string raw_path_;        // the request line's path, query included
  std::string url_path_;
  std::string query_text_;
  std::string request_page_;
  std::string protocol_;
  std::string accept_;
  std::string referer_;
  std::string language_;
  std::string content_type_;
  std::string accept_encoding_;
  std::string user_agent_;
  std::string host_;
  std::string server_name_;
  std::string connection_;
  std::string if_none_match_;
  std::string cookie_text_;
  std::string auth_username_;
  std::string auth_password_;
  std::string client_address_;
  std::string default_response_file_;
  std::string body_;
  int64_t if_modified_since_ = 0;
  int32_t request_length_ = 0;
  int32_t read_position_ = 0;
  bool full_parse_ = false;
};

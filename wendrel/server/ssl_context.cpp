// CSSL: the server's TLS context and the making of TLS connections.
#include "wendrel/server/ssl_context.h"

#include <string.h>

#include <cstdio>
#include <vector>

#include "wendrel/http/error_pages.h"
#include "wendrel/server/ssl_library.h"
#include "wendrel/server/stream_socket.h"
#include "wendrel/server/tls_connection.h"
#include "wendrel/server/transport_texts.h"

namespace {

/// Session resumption needs a context name when client certificates are requested.
constexpr unsigned char kSessionContextName[] = "wendrel";

/// OpenSSL asks for the key's password with the buffer it holds; a password that does not
/// fit is refused rather than cut short.
int CopyPassword(char* buffer, int size, int writing, void* password_text) {
  const auto* password = static_cast<const std::string*>(password_text);
  if (password == nullptr || size <= 0 || password->size() > static_cast<size_t>(size)) {
    return -1;
  }
  memcpy(buffer, password->data(), password->size());
  return static_cast<int>(password->size());
}

/// The client's certificate is taken as it is; nothing here authenticates clients.
int AcceptAnyCertificate(int preverified, X509_STORE_CTX* store) { return 1; }

/// The failure of a key-file load that is in truth a key that does not fit the certificate:
/// OpenSSL checks the pair while it loads the key.
bool IsKeyMismatch(unsigned long code) {
  return ERR_GET_LIB(code) == ERR_LIB_X509 && ERR_GET_REASON(code) == X509_R_KEY_VALUES_MISMATCH;
}

/// Overwrites a secret before its memory is given back.
void Wipe(std::string& text) {
  explicit_bzero(text.data(), text.size());
  text.clear();
}

std::string InitialisedText(const std::string& private_key_file,
                            const std::string& certificate_file) {
  std::vector<char> text(sizeof kSslInitialisedFormat + private_key_file.size() +
                         certificate_file.size());
  std::snprintf(text.data(), text.size(), kSslInitialisedFormat, private_key_file.c_str(),
                certificate_file.c_str());
  return text.data();
}

/// Answers a client whose TLS connection failed with the plain refusal and closes.
void Refuse(int descriptor) {
  StreamSocket socket(descriptor);
  socket.SetSendTimeout(CSSL::kRefusalSendTimeout);
  (void)socket.SendAll(BareSocketBytes(BareSocketLiteral::HttpsRequired));
  socket.CloseGracefully();
}

}  // namespace

SslContextCreation CSSL::Create(const std::string& private_key_file,
                                const std::string& certificate_file,
                                std::string private_password) {
  SslContextCreation creation;
  std::unique_ptr<CSSL> ssl = NewContext(&creation.message);
  if (ssl == nullptr) {
    Wipe(private_password);
    return creation;
  }
  ssl->private_password_ = private_password;
  Wipe(private_password);
  std::string failure = ssl->Configure();
  if (failure.empty()) failure = ssl->LoadCertificate(certificate_file);
  if (failure.empty()) failure = ssl->LoadPrivateKey(private_key_file);
  if (failure.empty()) failure = ssl->CheckPrivateKey();
  ssl->WipePassword();
  if (!failure.empty()) {
    creation.message = std::move(failure);
    return creation;
  }
  creation.message = InitialisedText(private_key_file, certificate_file);
  creation.context = std::move(ssl);
  return creation;
}

std::unique_ptr<CSSL> CSSL::NewContext(std::string* failure) {
  SslLibraryLoad load = LoadSslLibrary();
  if (load.library == nullptr) {
    *failure = load.message;
    return nullptr;
  }
  const SslLibrary& library = *load.library;
  library.ERR_clear_error();
  ssl_ctx_st* context = library.SSL_CTX_new(library.TLS_server_method());
  if (context == nullptr) {
    *failure = kSslContextFailedText;
    library.ERR_clear_error();
    return nullptr;
  }
  return std::unique_ptr<CSSL>(new CSSL(library, context));
}

CSSL::CSSL(const SslLibrary& library, ssl_ctx_st* context)
    : library_(library), context_(context) {}

CSSL::~CSSL() {
  WipePassword();
  library_.SSL_CTX_free(context_);
}

std::string CSSL::Configure() {
  // SSL 2/3, TLS 1.0 and TLS 1.1 are broken or deprecated: TLS 1.2 at least.
  if (library_.SSL_CTX_ctrl(context_, SSL_CTRL_SET_MIN_PROTO_VERSION, TLS1_2_VERSION, nullptr) !=
      1) {
    return std::string(kSslContextFailedText) + "\r\n" + library_.TakeErrorText();
  }
  // Client-initiated renegotiation costs the server a handshake per request of the client;
  // a client that drops the connection without the close notification has still finished.
  library_.SSL_CTX_set_options(context_, SSL_OP_NO_RENEGOTIATION | SSL_OP_IGNORE_UNEXPECTED_EOF |
                                             SSL_OP_CIPHER_SERVER_PREFERENCE);
  // Writes may complete in parts; Send loops until everything has gone out.
  library_.SSL_CTX_ctrl(context_, SSL_CTRL_MODE,
                        SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER,
                        nullptr);
  if (library_.SSL_CTX_set_session_id_context(context_, kSessionContextName,
                                              sizeof kSessionContextName - 1) != 1) {
    return std::string(kSslContextFailedText) + "\r\n" + library_.TakeErrorText();
  }
  library_.SSL_CTX_set_default_passwd_cb(context_, CopyPassword);
  library_.SSL_CTX_set_default_passwd_cb_userdata(context_, &private_password_);
  return {};
}

std::string CSSL::LoadCertificate(const std::string& certificate_file) {
  library_.ERR_clear_error();
  if (library_.SSL_CTX_use_certificate_chain_file(context_, certificate_file.c_str()) == 1) {
    return {};
  }
  return kSslCertificateFileText + certificate_file + kSslFileTextEnd + library_.TakeErrorText();
}

std::string CSSL::LoadPrivateKey(const std::string& private_key_file) {
  library_.ERR_clear_error();
  if (library_.SSL_CTX_use_PrivateKey_file(context_, private_key_file.c_str(),
                                           SSL_FILETYPE_PEM) == 1) {
    return {};
  }
  if (IsKeyMismatch(library_.ERR_peek_error())) {
    return kSslKeyMismatchText + library_.TakeErrorText();
  }
  return kSslPrivateKeyFileText + private_key_file + kSslFileTextEnd + library_.TakeErrorText();
}

std::string CSSL::CheckPrivateKey() {
  library_.ERR_clear_error();
  if (library_.SSL_CTX_check_private_key(context_) == 1) return {};
  return kSslKeyMismatchText + library_.TakeErrorText();
}

void CSSL::WipePassword() {
  Wipe(private_password_);
  library_.SSL_CTX_set_default_passwd_cb_userdata(context_, nullptr);
}

void CSSL::SetClientCertificates(ClientCertificates mode) {
  if (mode == ClientCertificates::NotRequested) {
    library_.SSL_CTX_set_verify(context_, SSL_VERIFY_NONE, nullptr);
    return;
  }
  library_.SSL_CTX_set_verify(context_, SSL_VERIFY_PEER | SSL_VERIFY_CLIENT_ONCE,
                              AcceptAnyCertificate);
}

int CSSL::MinimumProtocolVersion() const {
  return static_cast<int>(
      library_.SSL_CTX_ctrl(context_, SSL_CTRL_GET_MIN_PROTO_VERSION, 0, nullptr));
}

std::unique_ptr<TlsConnection> CSSL::NewConnection(int descriptor, StreamSocket::Mode mode,
                                                   std::string* failure) const {
  library_.ERR_clear_error();
  ssl_st* session = library_.SSL_new(context_);
  if (session == nullptr) {
    library_.ERR_clear_error();
    *failure = kSslSessionFailedText;
    return nullptr;
  }
  return std::make_unique<TlsConnection>(library_, session, descriptor, mode);
}

TlsAcceptance CSSL::Accept(int descriptor) const {
  TlsAcceptance acceptance;
  library_.ERR_clear_error();
  ssl_st* session = library_.SSL_new(context_);
  if (session == nullptr) {
    library_.ERR_clear_error();
    acceptance.event_log_message = kSslSessionFailedText;
    Refuse(descriptor);
    return acceptance;
  }
  auto connection = std::make_unique<TlsConnection>(library_, session, descriptor);
  std::string failure;
  if (connection->Handshake(handshake_time_limit_, &failure)) {
    acceptance.connection = std::move(connection);
    return acceptance;
  }
  acceptance.event_log_message = std::move(failure);
  Refuse(connection->Detach());
  return acceptance;
}

#pragma once
// CSSL: the server's SSL context, made by InitSSL from a certificate file, a private-key file
// and the key's password, and destroyed by StopServer. While it exists the workers wrap every
// accepted socket in a TLS connection made by Accept.
//
// The context accepts TLS 1.2 and newer only; renegotiation is refused. Accept may be called
// from all worker threads at once; the setters are for the owner before the workers start.

#include <chrono>
#include <memory>
#include <string>

#include "wendrel/server/connection.h"
#include "wendrel/server/stream_socket.h"

class TlsConnection;

struct SslLibrary;
struct ssl_ctx_st;

/// Whether the handshake asks the client for a certificate. The certificate is not checked
/// against any authority: the CERT_ variables only describe what the client presented.
enum class ClientCertificates { NotRequested, Requested };

class CSSL;

/// Result of CSSL::Create.
struct SslContextCreation {
  /// Null on failure.
  std::unique_ptr<CSSL> context;
  /// On failure the text for LastError; on success the informational event-log entry
  /// "Using '<key>' as a private key and '<certificate>' as a certificate for SSL connections".
  std::string message;
};

/// Result of CSSL::Accept.
struct TlsAcceptance {
  /// The ready connection; null when the client was refused (the socket is then answered
  /// with BareSocketBytes(BareSocketLiteral::HttpsRequired) and closed).
  std::unique_ptr<Connection> connection;
  /// Why the client was refused, for the event log; empty when there is nothing to log.
  std::string event_log_message;
};

class CSSL {
 public:
  /// The whole handshake must be over within this time.
  static constexpr std::chrono::milliseconds kDefaultHandshakeTimeLimit{10000};
  /// Sending the refusal to a client that does not read gives up after this time.
  static constexpr std::chrono::milliseconds kRefusalSendTimeout{5000};

  /// Loads OpenSSL when needed and makes the context: the certificate (PEM, followed by any
  /// intermediate certificates) from `certificate_file`, the private key (PEM, decrypted with
  /// `private_password` when it is encrypted) from `private_key_file`, and checks that they
  /// belong together. Failure texts (transport_texts.h): the library cannot be loaded; the
  /// context cannot be made; "Error opening certificate file '<file>':\r\n<reason>"; "Error
  /// opening private key file '<file>':\r\n<reason>" (missing file, wrong password); "Private
  /// key does not match the certificate public key:\r\n<reason>". The password is wiped
  /// from memory once the key is loaded.
  static SslContextCreation Create(const std::string& private_key_file,
                                   const std::string& certificate_file,
                                   std::string private_password);
  /// Releases the OpenSSL context; connections made from it stay usable.
  ~CSSL();
  CSSL(const CSSL&) = delete;
  CSSL& operator=(const CSSL&) = delete;

  /// Takes ownership of the accepted socket `descriptor` and makes a TLS connection of it:
  /// session, handshake (bounded by the handshake time limit), cipher. When that fails the
  /// client is answered on the bare socket with BareSocketBytes(BareSocketLiteral::HttpsRequired) — what a browser that
  /// spoke plain HTTP to this port shows — and the socket is closed gracefully.
  TlsAcceptance Accept(int descriptor) const;

  /// A TLS connection over the accepted `descriptor` whose handshake has not begun, for an
  /// event loop that runs it step by step; null with the event-log text when no session can
  /// be made (the descriptor is then still the caller's).
  std::unique_ptr<TlsConnection> NewConnection(int descriptor, StreamSocket::Mode mode,
                                               std::string* failure) const;
  void SetHandshakeTimeLimit(std::chrono::milliseconds limit) { handshake_time_limit_ = limit; }
  std::chrono::milliseconds HandshakeTimeLimit() const { return handshake_time_limit_; }
  void SetClientCertificates(ClientCertificates mode);
  /// The lowest protocol version the context accepts (TLS1_2_VERSION).
  int MinimumProtocolVersion() const;

 private:
  CSSL(const SslLibrary& library, ssl_ctx_st* context);
  /// Loads the library and makes an empty context; null with the failure text.
  static std::unique_ptr<CSSL> NewContext(std::string* failure);

  /// The steps of Create after the context exists; each gives the failure text or empty.
  std::string Configure();
  std::string LoadCertificate(const std::string& certificate_file);
  std::string LoadPrivateKey(const std::string& private_key_file);
  std::string CheckPrivateKey();
  void WipePassword();

  const SslLibrary& library_;
  ssl_ctx_st* context_;
  // Read by OpenSSL's password callback while the key is loaded, wiped afterwards.
  std::string private_password_;
  std::chrono::milliseconds handshake_time_limit_ = kDefaultHandshakeTimeLimit;
};

#pragma once
// Helpers of the transport tests: connected socket pairs on 127.0.0.1, a client side that
// reads and writes with bounded waits, test certificates made with the openssl command, and
// a TLS client built on the same run-time loaded OpenSSL as the server.

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

#include "wendrel/server/ssl_library.h"

namespace transport_test {

/// Both ends of one TCP connection over loopback; the destructor closes what is still held.
struct SocketPair {
  int server = -1;
  int client = -1;
  SocketPair() = default;
  SocketPair(SocketPair&& other) noexcept;
  SocketPair(const SocketPair&) = delete;
  ~SocketPair();
  /// Gives up ownership of the server end (to a connection object).
  int TakeServer();
  /// Closes the client end now (when still held).
  void CloseClient();
};

/// Socket buffer sizes for ConnectLoopback; 0 leaves the system's.
struct BufferSizes {
  int client_receive = 0;
  int server_send = 0;
};

/// Listens on 127.0.0.1 (any port), connects and accepts. Both ends are blocking; the client
/// end has 10 s receive and send time-outs so that no test can hang on it.
SocketPair ConnectLoopback(BufferSizes sizes = {});

/// Writes everything (MSG_NOSIGNAL); false on error.
bool WriteAll(int descriptor, std::string_view data);
/// Reads until the peer closes, `limit` bytes, or `timeout` without data. `error` receives
/// errno of a failed read, else 0.
std::string ReadUntilClosed(int descriptor, size_t limit, std::chrono::milliseconds timeout,
                            int* error = nullptr);
/// Closes with a reset (SO_LINGER 0) instead of the orderly end.
void ResetAndClose(int descriptor);

/// SIGPIPE still has its default action (ending the process), so a test that survives a send
/// to a reset connection shows that the transport does not raise it.
bool SigpipeEndsTheProcess();

/// `size` bytes of a fixed pseudo-random pattern.
std::string PatternBytes(size_t size);

/// A temporary folder with the test certificates, removed by the destructor:
/// server.crt with server.key (RSA 2048, no password) and server_encrypted.key (the same key,
/// password kKeyPassword); other_rsa.key and other_ec.key, which fit no certificate;
/// client.crt with client.key, a self-signed client certificate with the subject
/// kClientSubject.
class TestCertificates {
 public:
  static constexpr char kKeyPassword[] = "s3cret pass";
  static constexpr char kClientSubject[] = "/CN=wendrel test client/O=Transport Tests";

  TestCertificates();
  ~TestCertificates();
  /// False when the openssl command failed; `failure` says which step.
  bool ok() const { return failure_.empty(); }
  const std::string& failure() const { return failure_; }
  std::string Path(const char* file) const { return (folder_ / file).string(); }
  const std::filesystem::path& folder() const { return folder_; }

 private:
  std::filesystem::path folder_;
  std::string failure_;
};

/// Options of the test TLS client.
struct TlsClientOptions {
  /// Highest protocol version offered (0: the library's highest).
  int max_version = 0;
  /// Cipher list for TLS 1.2 and older (empty: the library's default).
  std::string cipher_list = {};
  /// Security level 0, so that old protocol versions are really offered.
  bool allow_legacy = false;
  /// A client certificate and its key (empty: none).
  std::string certificate_file = {};
  std::string key_file = {};
};

/// The client side of a TLS connection on a blocking socket, through the loaded library.
class TestTlsClient {
 public:
  TestTlsClient(const SslLibrary& library, int descriptor, const TlsClientOptions& options = {});
  ~TestTlsClient();
  TestTlsClient(const TestTlsClient&) = delete;
  TestTlsClient& operator=(const TestTlsClient&) = delete;

  /// Runs the client handshake; false when it failed.
  bool Connect();
  bool Write(std::string_view data);
  /// One read: the count, 0 at the close notification, -1 on error; `ssl_error` receives the
  /// library's error code of a failed read.
  int Read(char* buffer, int size, int* ssl_error = nullptr);
  /// Reads until `size` bytes arrived or the read fails.
  std::string ReadExactly(size_t size);

 private:
  template <class Function>
  Function Get(const char* name) const;

  const SslLibrary& library_;
  SSL_CTX* context_ = nullptr;
  SSL* session_ = nullptr;
};

}  // namespace transport_test

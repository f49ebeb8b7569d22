#include "tests/wendrel/server/transport_test_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <stdexcept>

namespace transport_test {

SocketPair::SocketPair(SocketPair&& other) noexcept : server(other.server), client(other.client) {
  other.server = -1;
  other.client = -1;
}

SocketPair::~SocketPair() {
  if (server >= 0) close(server);
  if (client >= 0) close(client);
}

int SocketPair::TakeServer() {
  int descriptor = server;
  server = -1;
  return descriptor;
}

void SocketPair::CloseClient() {
  if (client >= 0) close(client);
  client = -1;
}

namespace {

void SetBuffer(int descriptor, int option, int size) {
  if (size > 0) setsockopt(descriptor, SOL_SOCKET, option, &size, sizeof size);
}

void SetClientTimeouts(int descriptor) {
  timeval limit{10, 0};
  setsockopt(descriptor, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  setsockopt(descriptor, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

void Require(bool condition, const char* what) {
  if (!condition) throw std::runtime_error(std::string(what) + ": " + strerror(errno));
}

}  // namespace

SocketPair ConnectLoopback(BufferSizes sizes) {
  int listener = socket(AF_INET, SOCK_STREAM, 0);
  Require(listener >= 0, "socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bool listening = bind(listener, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
                   listen(listener, 1) == 0 &&
                   getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) == 0;
  SocketPair pair;
  pair.client = socket(AF_INET, SOCK_STREAM, 0);
  SetBuffer(pair.client, SO_RCVBUF, sizes.client_receive);
  SetClientTimeouts(pair.client);
  bool connected = listening && pair.client >= 0 &&
                   connect(pair.client, reinterpret_cast<sockaddr*>(&address), length) == 0;
  if (connected) pair.server = accept(listener, nullptr, nullptr);
  close(listener);
  Require(pair.server >= 0, "loopback connection");
  SetBuffer(pair.server, SO_SNDBUF, sizes.server_send);
  return pair;
}

bool WriteAll(int descriptor, std::string_view data) {
  while (!data.empty()) {
    ssize_t written = send(descriptor, data.data(), data.size(), MSG_NOSIGNAL);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

std::string ReadUntilClosed(int descriptor, size_t limit, std::chrono::milliseconds timeout,
                            int* error) {
  std::string text;
  if (error != nullptr) *error = 0;
  char buffer[65536];
  while (text.size() < limit) {
    pollfd entry{descriptor, POLLIN, 0};
    if (poll(&entry, 1, static_cast<int>(timeout.count())) <= 0) break;
    ssize_t got = recv(descriptor, buffer, std::min(sizeof buffer, limit - text.size()), 0);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && error != nullptr) *error = errno;
    if (got <= 0) break;
    text.append(buffer, static_cast<size_t>(got));
  }
  return text;
}

void ResetAndClose(int descriptor) {
  linger option{1, 0};
  setsockopt(descriptor, SOL_SOCKET, SO_LINGER, &option, sizeof option);
  close(descriptor);
}

bool SigpipeEndsTheProcess() {
  struct sigaction current {};
  return sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL;
}

std::string PatternBytes(size_t size) {
  std::string bytes(size, '\0');
  uint32_t state = 2463534242u;
  for (char& byte : bytes) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    byte = static_cast<char>(state >> 24);
  }
  return bytes;
}

TestCertificates::TestCertificates() {
  char pattern[] = "/tmp/wendrel_transport_XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    failure_ = "mkdtemp";
    return;
  }
  folder_ = pattern;
  std::string in = "cd '" + folder_.string() + "' && ";
  const std::pair<const char*, std::string> steps[] = {
      {"server certificate",
       "openssl req -x509 -newkey rsa:2048 -nodes -keyout server.key -out server.crt -days 2 "
       "-subj /CN=localhost"},
      {"encrypted key", std::string("openssl pkey -in server.key -out server_encrypted.key "
                                    "-aes256 -passout 'pass:") + kKeyPassword + "'"},
      {"other RSA key",
       "openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out other_rsa.key"},
      {"other EC key",
       "openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out other_ec.key"},
      {"client certificate",
       std::string("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes "
                   "-keyout client.key -out client.crt -days 2 -subj '") + kClientSubject + "'"},
  };
  for (const auto& [name, command] : steps) {
    if (std::system((in + command + " >/dev/null 2>&1").c_str()) != 0) {
      failure_ = name;
      return;
    }
  }
}

TestCertificates::~TestCertificates() {
  std::error_code ignored;
  if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
}

template <class Function>
Function TestTlsClient::Get(const char* name) const {
  void* address = library_.Find(name);
  if (address == nullptr) throw std::runtime_error(std::string("missing ") + name);
  return reinterpret_cast<Function>(address);
}

TestTlsClient::TestTlsClient(const SslLibrary& library, int descriptor,
                             const TlsClientOptions& options)
    : library_(library) {
  context_ = library_.SSL_CTX_new(Get<decltype(&TLS_client_method)>("TLS_client_method")());
  if (options.allow_legacy) {
    Get<decltype(&SSL_CTX_set_security_level)>("SSL_CTX_set_security_level")(context_, 0);
  }
  if (options.max_version != 0) {
    library_.SSL_CTX_ctrl(context_, SSL_CTRL_SET_MIN_PROTO_VERSION, 0, nullptr);
    library_.SSL_CTX_ctrl(context_, SSL_CTRL_SET_MAX_PROTO_VERSION, options.max_version,
                          nullptr);
  }
  if (!options.cipher_list.empty()) {
    Get<decltype(&SSL_CTX_set_cipher_list)>("SSL_CTX_set_cipher_list")(
        context_, options.cipher_list.c_str());
  }
  if (!options.certificate_file.empty()) {
    Get<decltype(&SSL_CTX_use_certificate_file)>("SSL_CTX_use_certificate_file")(
        context_, options.certificate_file.c_str(), SSL_FILETYPE_PEM);
    library_.SSL_CTX_use_PrivateKey_file(context_, options.key_file.c_str(), SSL_FILETYPE_PEM);
  }
  session_ = library_.SSL_new(context_);
  Get<decltype(&SSL_set_fd)>("SSL_set_fd")(session_, descriptor);
}

TestTlsClient::~TestTlsClient() {
  library_.SSL_free(session_);
  library_.SSL_CTX_free(context_);
  library_.ERR_clear_error();
}

bool TestTlsClient::Connect() {
  library_.ERR_clear_error();
  return Get<decltype(&SSL_connect)>("SSL_connect")(session_) == 1;
}

bool TestTlsClient::Write(std::string_view data) {
  library_.ERR_clear_error();
  size_t written = 0;
  return library_.SSL_write_ex(session_, data.data(), data.size(), &written) == 1 &&
         written == data.size();
}

int TestTlsClient::Read(char* buffer, int size, int* ssl_error) {
  library_.ERR_clear_error();
  int got = Get<decltype(&SSL_read)>("SSL_read")(session_, buffer, size);
  if (got <= 0 && ssl_error != nullptr) *ssl_error = library_.SSL_get_error(session_, got);
  return got;
}

std::string TestTlsClient::ReadExactly(size_t size) {
  std::string text;
  char buffer[16384];
  while (text.size() < size) {
    int want = static_cast<int>(std::min(sizeof buffer, size - text.size()));
    int got = Read(buffer, want);
    if (got <= 0) break;
    text.append(buffer, static_cast<size_t>(got));
  }
  return text;
}

}  // namespace transport_test

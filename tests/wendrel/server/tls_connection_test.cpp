#include "wendrel/server/tls_connection.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "tests/wendrel/server/transport_test_support.h"
#include "wendrel/server/socket_errors.h"
#include "wendrel/server/ssl_context.h"
#include "wendrel/server/ssl_library.h"
#include "wendrel/server/transport_texts.h"

using namespace std::chrono_literals;
using namespace socket_errors;
using namespace transport_test;

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kHttpsRequired[] =
    "HTTP/1.0 403 Forbidden\r\nContent-length: 49\r\n\r\n"
    "<html><body><h1>HTTPS required</h1></body></html>";

const TestCertificates& Certificates() {
  static TestCertificates certificates;
  return certificates;
}

int64_t ElapsedMs(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

/// Receives `size` bytes, waiting up to 5 s for each piece.
std::string ReceiveExactly(Connection& connection, size_t size) {
  std::string text;
  char buffer[4096];
  while (text.size() < size) {
    if (connection.WaitReadable(5000) <= 0) break;
    size_t want = std::min(sizeof buffer, size - text.size());
    int64_t got = connection.Receive(std::span(buffer, want));
    if (got == 0 || (got < 0 && connection.LastError() != kWsaWouldBlock)) break;
    if (got > 0) text.append(buffer, static_cast<size_t>(got));
  }
  return text;
}

/// A TLS connection made by `ssl` on the server end of a loopback pair, with its client.
/// The client end closes first when the test ends, so the connection's graceful close finds
/// the peer gone at once.
struct TlsLoopback {
  TlsLoopback(const CSSL& ssl, const SslLibrary& library, const TlsClientOptions& options = {},
              BufferSizes sizes = {})
      : pair(ConnectLoopback(sizes)),
        client(std::make_unique<TestTlsClient>(library, pair.client, options)) {
    std::future<TlsAcceptance> accepting =
        std::async(std::launch::async,
                   [&ssl, descriptor = pair.TakeServer()] { return ssl.Accept(descriptor); });
    connected = client->Connect();
    // A client that failed leaves, so that the server's refusal need not wait for it.
    if (!connected) pair.CloseClient();
    TlsAcceptance acceptance = accepting.get();
    event_log_message = acceptance.event_log_message;
    connection = std::move(acceptance.connection);
  }
  ~TlsLoopback() {
    client.reset();
    pair.CloseClient();
  }

  SocketPair pair;
  std::unique_ptr<TestTlsClient> client;
  bool connected = false;
  std::string event_log_message;
  std::unique_ptr<Connection> connection;
};

::testing::AssertionResult Ready(const TlsLoopback& loopback) {
  if (!loopback.connected) return ::testing::AssertionFailure() << "client handshake failed";
  if (loopback.connection == nullptr) {
    return ::testing::AssertionFailure() << "refused: " << loopback.event_log_message;
  }
  return ::testing::AssertionSuccess();
}

class TlsConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Certificates().ok()) << Certificates().failure();
    SslContextCreation creation =
        CSSL::Create(Certificates().Path("server.key"), Certificates().Path("server.crt"), "");
    ASSERT_NE(creation.context, nullptr) << creation.message;
    ssl_ = std::move(creation.context);
    library_ = LoadedSslLibrary();
  }

  /// Accepts the server end on another thread, as a worker would.
  std::future<TlsAcceptance> AcceptAsync(SocketPair& pair) {
    return std::async(std::launch::async,
                      [this, descriptor = pair.TakeServer()] { return ssl_->Accept(descriptor); });
  }

  std::unique_ptr<CSSL> ssl_;
  const SslLibrary* library_ = nullptr;
};

}  // namespace

TEST_F(TlsConnectionTest, HandshakeThenDataFlowsBothWays) {
  TlsLoopback loopback(*ssl_, *library_);
  ASSERT_TRUE(Ready(loopback));
  Connection& connection = *loopback.connection;
  TestTlsClient& client = *loopback.client;
  EXPECT_TRUE(connection.SetServingMode(true));
  EXPECT_EQ(connection.Send("hello over tls"), 14);
  EXPECT_EQ(client.ReadExactly(14), "hello over tls");
  ASSERT_TRUE(client.Write("ping from client"));
  EXPECT_EQ(ReceiveExactly(connection, 16), "ping from client");
  char buffer[16];
  EXPECT_EQ(connection.Receive(buffer), -1);  // nothing more yet
  EXPECT_EQ(connection.LastError(), kWsaWouldBlock);
}

TEST_F(TlsConnectionTest, CertificateVariablesWithoutClientCertificate) {
  TlsLoopback loopback(*ssl_, *library_,
                       {.max_version = TLS1_2_VERSION,
                        .cipher_list = "ECDHE-RSA-AES128-GCM-SHA256"});
  ASSERT_TRUE(Ready(loopback));
  Connection& connection = *loopback.connection;
  CertificateVariables expected = {{"CERT_KEYSIZE", "128"}, {"CERT_FLAGS", "0"}};
  EXPECT_EQ(connection.GetCertificateVariables(), expected);
}

TEST_F(TlsConnectionTest, CertificateVariablesDescribeTheClientCertificate) {
  ssl_->SetClientCertificates(ClientCertificates::Requested);
  TlsLoopback loopback(*ssl_, *library_,
                       {.certificate_file = Certificates().Path("client.crt"),
                        .key_file = Certificates().Path("client.key")});
  ASSERT_TRUE(Ready(loopback));
  Connection& connection = *loopback.connection;
  auto* tls = static_cast<TlsConnection*>(&connection);
  std::string subject = TestCertificates::kClientSubject;
  CertificateVariables expected = {{"CERT_KEYSIZE", std::to_string(tls->key_bits())},
                                   {"CERT_SUBJECT", subject},
                                   {"CERT_ISSUER", subject},  // self-signed
                                   {"CERT_FLAGS", "1"}};
  EXPECT_GE(tls->key_bits(), 128);
  EXPECT_EQ(connection.GetCertificateVariables(), expected);
}

TEST_F(TlsConnectionTest, ClientCertificateIsNotAskedForByDefault) {
  TlsLoopback loopback(*ssl_, *library_,
                       {.certificate_file = Certificates().Path("client.crt"),
                        .key_file = Certificates().Path("client.key")});
  ASSERT_TRUE(Ready(loopback));
  Connection& connection = *loopback.connection;
  CertificateVariables variables = connection.GetCertificateVariables();
  ASSERT_EQ(variables.size(), 2u);
  EXPECT_EQ(variables[1], (std::pair<std::string, std::string>("CERT_FLAGS", "0")));
}

TEST_F(TlsConnectionTest, PlainHttpClientGetsHttpsRequired) {
  SocketPair pair = ConnectLoopback();
  ASSERT_TRUE(WriteAll(pair.client, "GET / HTTP/1.0\r\nHost: localhost\r\n\r\n"));
  std::future<TlsAcceptance> accepting = AcceptAsync(pair);
  int error = 0;
  EXPECT_EQ(ReadUntilClosed(pair.client, 1000, 5000ms, &error), kHttpsRequired);
  EXPECT_EQ(error, 0) << "the refusal ended with a reset";
  pair.CloseClient();
  TlsAcceptance acceptance = accepting.get();
  EXPECT_EQ(acceptance.connection, nullptr);
  EXPECT_EQ(acceptance.event_log_message.rfind("Error while accepting SSL connection ", 0), 0u)
      << acceptance.event_log_message;
}

TEST_F(TlsConnectionTest, SilentClientIsRefusedAtTheHandshakeLimit) {
  ssl_->SetHandshakeTimeLimit(300ms);
  SocketPair pair = ConnectLoopback();
  Clock::time_point start = Clock::now();
  std::future<TlsAcceptance> accepting = AcceptAsync(pair);
  EXPECT_EQ(ReadUntilClosed(pair.client, 1000, 5000ms), kHttpsRequired);
  int64_t elapsed = ElapsedMs(start);
  pair.CloseClient();
  TlsAcceptance acceptance = accepting.get();
  EXPECT_EQ(acceptance.connection, nullptr);
  EXPECT_GE(elapsed, 250);
  EXPECT_LT(elapsed, 2000);
  EXPECT_EQ(acceptance.event_log_message,
            "SSL handshake not completed within 300 ms; connection refused");
}

TEST_F(TlsConnectionTest, TricklingClientCannotStretchTheHandshake) {
  ssl_->SetHandshakeTimeLimit(400ms);
  SocketPair pair = ConnectLoopback();
  Clock::time_point start = Clock::now();
  std::future<TlsAcceptance> accepting = AcceptAsync(pair);
  // A record header announcing a long handshake message, then one byte every 50 ms for up to
  // 5 s, until the server answers.
  ASSERT_TRUE(WriteAll(pair.client, std::string("\x16\x03\x01\x02\x00", 5)));
  for (int i = 0; i < 100; ++i) {
    pollfd answer{pair.client, POLLIN, 0};
    if (poll(&answer, 1, 50) > 0 || !WriteAll(pair.client, "\x01")) break;
  }
  int64_t elapsed = ElapsedMs(start);
  EXPECT_EQ(ReadUntilClosed(pair.client, 1000, 5000ms), kHttpsRequired);
  pair.CloseClient();
  TlsAcceptance acceptance = accepting.get();
  EXPECT_EQ(acceptance.connection, nullptr);
  EXPECT_LT(elapsed, 2000);
  EXPECT_EQ(acceptance.event_log_message,
            "SSL handshake not completed within 400 ms; connection refused");
}

TEST_F(TlsConnectionTest, Tls11ClientIsRefused) {
  TlsLoopback loopback(*ssl_, *library_,
                       {.max_version = TLS1_1_VERSION,
                        .cipher_list = "DEFAULT:@SECLEVEL=0",
                        .allow_legacy = true});
  EXPECT_FALSE(loopback.connected);
  EXPECT_EQ(loopback.connection, nullptr);
  EXPECT_NE(loopback.event_log_message.find("unsupported protocol"), std::string::npos)
      << loopback.event_log_message;
}

TEST_F(TlsConnectionTest, SendFileDeliversLargeFileByteForByte) {
  std::string content = PatternBytes(3 * 1024 * 1024);
  char path[] = "/tmp/wendrel_tls_file_XXXXXX";
  int file = mkstemp(path);
  ASSERT_GE(file, 0);
  unlink(path);
  ASSERT_EQ(write(file, content.data(), content.size()), static_cast<ssize_t>(content.size()));
  lseek(file, 0, SEEK_SET);

  TlsLoopback loopback(*ssl_, *library_, {}, {.client_receive = 65536, .server_send = 65536});
  ASSERT_TRUE(Ready(loopback));
  Connection& connection = *loopback.connection;
  TestTlsClient& client = *loopback.client;
  auto sending = std::async(std::launch::async, [&] {
    return connection.SendFile(file, static_cast<int64_t>(content.size()) + 100);
  });
  std::string received = client.ReadExactly(content.size());
  EXPECT_EQ(sending.get(), static_cast<int64_t>(content.size()));  // stopped at the end
  EXPECT_EQ(received.size(), content.size());
  EXPECT_TRUE(received == content);
  close(file);
}

TEST_F(TlsConnectionTest, ClientResetMidTransferFailsWithoutSignal) {
  TlsLoopback loopback(*ssl_, *library_, {}, {.client_receive = 16384, .server_send = 16384});
  ASSERT_TRUE(Ready(loopback));
  Connection& connection = *loopback.connection;
  TestTlsClient& client = *loopback.client;
  auto sending = std::async(std::launch::async, [&] {
    return connection.Send(PatternBytes(16 * 1024 * 1024));
  });
  EXPECT_EQ(client.ReadExactly(65536).size(), 65536u);
  ResetAndClose(loopback.pair.client);
  loopback.pair.client = -1;
  EXPECT_EQ(sending.get(), -1);
  EXPECT_EQ(connection.LastError(), kWsaConnectionReset);
}

TEST_F(TlsConnectionTest, SendAfterClientResetFailsWithoutSignal) {
  TlsLoopback loopback(*ssl_, *library_);
  ASSERT_TRUE(Ready(loopback));
  Connection& connection = *loopback.connection;
  ResetAndClose(loopback.pair.client);
  loopback.pair.client = -1;
  ASSERT_GT(connection.WaitReadable(2000), 0);
  char buffer[16];
  EXPECT_EQ(connection.Receive(buffer), -1);  // takes the reset
  EXPECT_EQ(connection.LastError(), kWsaConnectionReset);
  // The send meets EPIPE, which would raise SIGPIPE and end the test process.
  ASSERT_TRUE(SigpipeEndsTheProcess());
  EXPECT_EQ(connection.Send("after the reset"), -1);
  EXPECT_EQ(connection.LastError(), kWsaConnectionReset);
}

TEST_F(TlsConnectionTest, WaitReadableSeesDataBufferedInTheSession) {
  TlsLoopback loopback(*ssl_, *library_);
  ASSERT_TRUE(Ready(loopback));
  Connection& connection = *loopback.connection;
  TestTlsClient& client = *loopback.client;
  std::string message = PatternBytes(100);
  ASSERT_TRUE(client.Write(message));  // one record
  EXPECT_EQ(ReceiveExactly(connection, 10), message.substr(0, 10));
  // The socket is empty now; the other 90 bytes wait decrypted inside the session.
  EXPECT_EQ(connection.WaitReadable(0), 1);
  EXPECT_EQ(ReceiveExactly(connection, 90), message.substr(10));
  EXPECT_EQ(connection.WaitReadable(50), 0);
}

TEST_F(TlsConnectionTest, GracefulCloseSendsTheCloseNotification) {
  TlsLoopback loopback(*ssl_, *library_);
  ASSERT_TRUE(Ready(loopback));
  Connection& connection = *loopback.connection;
  TestTlsClient& client = *loopback.client;
  auto closing = std::async(std::launch::async, [&] { connection.CloseGracefully(); });
  char buffer[16];
  int ssl_error = 0;
  EXPECT_EQ(client.Read(buffer, sizeof buffer, &ssl_error), 0);
  EXPECT_EQ(ssl_error, SSL_ERROR_ZERO_RETURN);
  loopback.pair.CloseClient();
  closing.get();
  EXPECT_FALSE(connection.IsOpen());
  EXPECT_EQ(connection.LastError(), kWsaNotConnected);
  EXPECT_EQ(connection.Send("late"), -1);
}

TEST_F(TlsConnectionTest, ReceiveGivesZeroWhenClientLeaves) {
  TlsLoopback loopback(*ssl_, *library_);
  ASSERT_TRUE(Ready(loopback));
  Connection& connection = *loopback.connection;
  // The client ends its side without a close notification, as browsers often do.
  shutdown(loopback.pair.client, SHUT_WR);
  ASSERT_GT(connection.WaitReadable(2000), 0);
  char buffer[16];
  EXPECT_EQ(connection.Receive(buffer), 0) << connection.LastError();
}

TEST_F(TlsConnectionTest, WorkersShareTheContext) {
  constexpr int kWorkers = 4;
  std::vector<std::future<bool>> workers;
  for (int i = 0; i < kWorkers; ++i) {
    workers.push_back(std::async(std::launch::async, [this, i] {
      TlsLoopback loopback(*ssl_, *library_);
      if (!Ready(loopback)) return false;
      std::string text = "worker " + std::to_string(i);
      return loopback.client->Write(text) &&
             ReceiveExactly(*loopback.connection, text.size()) == text;
    }));
  }
  for (auto& worker : workers) EXPECT_TRUE(worker.get());
}

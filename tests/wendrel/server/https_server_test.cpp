// HTTPS end to end: InitSSL with a certificate made at test time, a TLS client, a plain client
// speaking to the TLS port, and a key with the wrong password.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/automation/dispatch_call.h"
#include "tests/wendrel/server/http_client.h"
#include "tests/wendrel/server/transport_test_support.h"
#include "wendrel/server/http_server.h"
#include "wendrel/server/ssl_library.h"

namespace {

namespace fs = std::filesystem;
using transport_test::TestCertificates;
using transport_test::TestTlsClient;

Variant Text(const std::string& text) { return Variant::FromString(std::u16string(text.begin(), text.end())); }

const TestCertificates& Certificates() {
  static const TestCertificates* certificates = new TestCertificates();
  return *certificates;
}

int ConnectTo(int port) {
  int client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(client);
    return -1;
  }
  timeval limit{10, 0};
  setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  return client;
}

class HttpsServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Certificates().ok()) << Certificates().failure();
    site_ = fs::temp_directory_path() / ("wendrel-https-" + std::to_string(getpid()));
    fs::create_directories(site_);
    std::ofstream(site_ / "secret.txt") << "over tls";
    std::string path = site_.string();
    std::u16string root(path.begin(), path.end());
    ASSERT_TRUE(PutMember(server_.get(), u"DefaultDirectory", {}, Variant::FromString(root)).ok());
    ASSERT_TRUE(PutMember(server_.get(), u"Port", {}, Variant::FromI4(0)).ok());
  }
  void TearDown() override {
    server_->Stop();
    fs::remove_all(site_);
  }
  Result<Variant> InitSsl(const std::string& key, const std::string& password) {
    Variant key_file = Text(Certificates().Path(key.c_str()));
    Variant certificate = Text(Certificates().Path("server.crt"));
    Variant secret = Text(password);
    std::vector<VARIANT> arguments{key_file, certificate, secret};
    return CallMember(server_.get(), u"InitSSL", arguments);
  }

  fs::path site_;
  ComPtr<CHTTPServer> server_ = MakeObject<CHTTPServer>();
};

TEST_F(HttpsServerTest, ServesOverTlsAndSaysHttpsOn) {
  ASSERT_EQ(InitSsl("server_encrypted.key", TestCertificates::kKeyPassword).value().boolVal,
            VARIANT_TRUE)
      << server_->LastErrorText();
  ASSERT_TRUE(server_->Start()) << server_->LastErrorText();
  EXPECT_TRUE(server_->HoldsSslContext());
  int socket = ConnectTo(server_->BoundPort());
  ASSERT_GE(socket, 0);
  TestTlsClient client(*LoadedSslLibrary(), socket);
  ASSERT_TRUE(client.Connect());
  ASSERT_TRUE(client.Write("GET /secret.txt HTTP/1.1\r\nHost: t\r\n\r\n"));
  std::string answer;
  char buffer[4096];
  int read;
  while ((read = client.Read(buffer, sizeof buffer)) > 0) answer.append(buffer, read);
  EXPECT_EQ(answer.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << answer;
  EXPECT_NE(answer.find("\r\n\r\nover tls"), std::string::npos);
}

TEST_F(HttpsServerTest, PlainRequestToTheTlsPortIsForbidden) {
  ASSERT_EQ(InitSsl("server.key", "").value().boolVal, VARIANT_TRUE);
  ASSERT_TRUE(server_->Start());
  http_test::HttpClient client(server_->BoundPort());
  ASSERT_TRUE(client.Send("GET /secret.txt HTTP/1.1\r\nHost: t\r\n\r\n"));
  EXPECT_EQ(client.ReadAll(std::chrono::seconds(15)),
            "HTTP/1.0 403 Forbidden\r\nContent-length: 49\r\n\r\n"
            "<html><body><h1>HTTPS required</h1></body></html>");
  // The worker goes on serving TLS clients.
  int socket = ConnectTo(server_->BoundPort());
  TestTlsClient tls(*LoadedSslLibrary(), socket);
  EXPECT_TRUE(tls.Connect());
}

TEST_F(HttpsServerTest, WrongPasswordAndSecondInitAreRefused) {
  Result<Variant> wrong = InitSsl("server_encrypted.key", "not the password");
  ASSERT_TRUE(wrong.ok());
  EXPECT_EQ(wrong.value().boolVal, VARIANT_FALSE);
  EXPECT_EQ(server_->LastErrorText().rfind("Error opening private key file '", 0), 0u)
      << server_->LastErrorText();
  ASSERT_EQ(InitSsl("server.key", "").value().boolVal, VARIANT_TRUE);
  Result<Variant> twice = InitSsl("server.key", "");
  ASSERT_FALSE(twice.ok());
  EXPECT_EQ(twice.error().Number(), 10002);
  ASSERT_TRUE(server_->Start());
  server_->Stop();
  // The context does not survive a stop.
  EXPECT_FALSE(server_->HoldsSslContext());
  ASSERT_TRUE(server_->Start());
  Result<Variant> running = InitSsl("server.key", "");
  EXPECT_EQ(running.error().Number(), 10003);
}

}  // namespace

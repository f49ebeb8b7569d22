#include "wendrel/http/error_pages.h"
#include "wendrel/server/ssl_context.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/wendrel/server/transport_test_support.h"
#include "wendrel/server/ssl_library.h"
#include "wendrel/server/transport_texts.h"

using namespace transport_test;

namespace {

const TestCertificates& Certificates() {
  static TestCertificates certificates;
  return certificates;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

class SslContextTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(Certificates().ok()) << Certificates().failure(); }
  static std::string Path(const char* file) { return Certificates().Path(file); }
};

}  // namespace

TEST(SslLibrary, LoadsOnceForTheWholeProcess) {
  SslLibraryLoad first = LoadSslLibrary();
  ASSERT_NE(first.library, nullptr) << first.message;
  SslLibraryLoad second = LoadSslLibrary();
  EXPECT_EQ(second.library, first.library);
  EXPECT_EQ(LoadedSslLibrary(), first.library);
  EXPECT_NE(first.library->socket_bio_method, nullptr);
  EXPECT_NE(first.library->Find("SSL_connect"), nullptr);
  EXPECT_EQ(first.library->Find("SSL_no_such_function"), nullptr);
}

TEST(SslLibrary, MissingLibraryIsReported) {
  std::string message = ProbeSslLibrary("libwendrel-no-such-crypto.so.3", kSslLibraryName);
  EXPECT_TRUE(StartsWith(message, std::string(kSslLoadFailedText) + "\r\n")) << message;
  EXPECT_NE(message.find("libwendrel-no-such-crypto.so.3"), std::string::npos) << message;
  message = ProbeSslLibrary(kCryptoLibraryName, "libwendrel-no-such-ssl.so.3");
  EXPECT_NE(message.find("libwendrel-no-such-ssl.so.3"), std::string::npos) << message;
}

TEST(SslLibrary, MissingFunctionIsNamed) {
  // libcrypto has every crypto function but none of libssl's.
  std::string message = ProbeSslLibrary(kCryptoLibraryName, kCryptoLibraryName);
  EXPECT_TRUE(StartsWith(message, kSslLoadFailedText)) << message;
  EXPECT_NE(message.find("libcrypto.so.3 has no function OPENSSL_init_ssl"), std::string::npos)
      << message;
  EXPECT_EQ(ProbeSslLibrary(kCryptoLibraryName, kSslLibraryName), "");
}

TEST(TransportTexts, HttpsRequiredAnswerIsComplete) {
  std::string_view answer = BareSocketBytes(BareSocketLiteral::HttpsRequired);
  EXPECT_EQ(answer.size(), 95u);
  EXPECT_EQ(answer,
            "HTTP/1.0 403 Forbidden\r\nContent-length: 49\r\n\r\n"
            "<html><body><h1>HTTPS required</h1></body></html>");
  EXPECT_EQ(answer.size() - answer.find("\r\n\r\n") - 4, 49u);  // the declared body length
}

TEST_F(SslContextTest, CreatesContextFromCertificateAndKey) {
  SslContextCreation creation = CSSL::Create(Path("server.key"), Path("server.crt"), "");
  ASSERT_NE(creation.context, nullptr) << creation.message;
  EXPECT_EQ(creation.message, "Using '" + Path("server.key") + "' as a private key and '" +
                                  Path("server.crt") + "' as a certificate for SSL connections");
}

TEST_F(SslContextTest, AcceptsTls12AndNewerOnly) {
  SslContextCreation creation = CSSL::Create(Path("server.key"), Path("server.crt"), "");
  ASSERT_NE(creation.context, nullptr) << creation.message;
  EXPECT_EQ(creation.context->MinimumProtocolVersion(), TLS1_2_VERSION);
}

TEST_F(SslContextTest, WrongPasswordFailsAndTheRightOneSucceeds) {
  std::string key = Path("server_encrypted.key");
  SslContextCreation wrong = CSSL::Create(key, Path("server.crt"), "not the password");
  EXPECT_EQ(wrong.context, nullptr);
  std::string prefix = "Error opening private key file '" + key + "':\r\n";
  ASSERT_TRUE(StartsWith(wrong.message, prefix)) << wrong.message;
  std::string reason = wrong.message.substr(prefix.size());
  EXPECT_FALSE(reason.empty());
  EXPECT_LE(reason.size(), 127u);

  SslContextCreation right = CSSL::Create(key, Path("server.crt"), TestCertificates::kKeyPassword);
  EXPECT_NE(right.context, nullptr) << right.message;
}

TEST_F(SslContextTest, OverlongPasswordIsRefusedWithoutOverrun) {
  std::string password = std::string(TestCertificates::kKeyPassword) + std::string(5000, 'x');
  SslContextCreation creation =
      CSSL::Create(Path("server_encrypted.key"), Path("server.crt"), password);
  EXPECT_EQ(creation.context, nullptr);
  EXPECT_TRUE(StartsWith(creation.message, "Error opening private key file '")) << creation.message;
}

TEST_F(SslContextTest, MissingCertificateFileIsReported) {
  std::string missing = Path("absent.crt");
  SslContextCreation creation = CSSL::Create(Path("server.key"), missing, "");
  EXPECT_EQ(creation.context, nullptr);
  std::string prefix = "Error opening certificate file '" + missing + "':\r\n";
  ASSERT_TRUE(StartsWith(creation.message, prefix)) << creation.message;
  EXPECT_GT(creation.message.size(), prefix.size());
}

TEST_F(SslContextTest, MissingPrivateKeyFileIsReported) {
  std::string missing = Path("absent.key");
  SslContextCreation creation = CSSL::Create(missing, Path("server.crt"), "");
  EXPECT_EQ(creation.context, nullptr);
  std::string prefix = "Error opening private key file '" + missing + "':\r\n";
  ASSERT_TRUE(StartsWith(creation.message, prefix)) << creation.message;
  EXPECT_GT(creation.message.size(), prefix.size());
}

TEST_F(SslContextTest, KeyOfAnotherPairIsReportedAsMismatch) {
  for (const char* key : {"other_rsa.key", "other_ec.key"}) {
    SCOPED_TRACE(key);
    SslContextCreation creation = CSSL::Create(Path(key), Path("server.crt"), "");
    EXPECT_EQ(creation.context, nullptr);
    std::string prefix = "Private key does not match the certificate public key:\r\n";
    ASSERT_TRUE(StartsWith(creation.message, prefix)) << creation.message;
    EXPECT_GT(creation.message.size(), prefix.size());
  }
}

// No request path, however encoded, reads a file outside the site root or a virtual
// directory's folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/automation/dispatch_call.h"
#include "platform/com/apartment.h"
#include "tests/wendrel/server/http_client.h"
#include "wendrel/server/http_server.h"

namespace {

namespace fs = std::filesystem;

Variant S(const std::string& text) { return Variant::FromString(std::u16string(text.begin(), text.end())); }

std::vector<std::string> HostilePaths() {
  const std::vector<std::string> climbs = {
      "..", "%2e%2e", "%2E%2E", ".%2e", "%2e.", "..%2f..", "..\\..", "..%5c..", "%2e%2e%5c%2e%2e",
      "....//..", "..;", "%252e%252e", "..%00", ".%00.", "..%2F..%2F..",
  };
  const std::vector<std::string> targets = {"secret.txt", "etc/passwd", "vsecret.txt"};
  std::vector<std::string> paths;
  for (const std::string& climb : climbs) {
    for (const std::string& target : targets) {
      paths.push_back("/" + climb + "/" + target);
      paths.push_back("/docs/" + climb + "/" + climb + "/" + target);
    }
  }
  for (std::string extra : {"/link.txt", "/dirlink/secret.txt", "/docs/../secret.txt",
                            "//secret.txt", "/%2fsecret.txt", "/docs%2f..%2f..%2fsecret.txt",
                            "/./../secret.txt", "/images/../../secret.txt", "\\..\\secret.txt",
                            "/%5c..%5csecret.txt", "/..%c0%afsecret.txt", "/secret.txt%00.htm"}) {
    paths.push_back(extra);
  }
  return paths;
}

TEST(Traversal, NoHostilePathEscapesTheRoot) {
  CoInitialize();
  fs::path base = fs::temp_directory_path() / ("wendrel-traversal-" + std::to_string(getpid()));
  fs::remove_all(base);
  fs::create_directories(base / "site" / "images");
  fs::create_directories(base / "manuals");
  std::ofstream(base / "secret.txt") << "TOP-SECRET";
  std::ofstream(base / "vsecret.txt") << "TOP-SECRET";
  std::ofstream(base / "site" / "index.htm") << "public";
  std::ofstream(base / "manuals" / "intro.htm") << "manual";
  fs::create_symlink(base / "secret.txt", base / "site" / "link.txt");
  fs::create_symlink(base, base / "site" / "dirlink");
  ComPtr<CHTTPServer> server = MakeObject<CHTTPServer>();
  ASSERT_TRUE(PutMember(server.get(), u"DefaultDirectory", {}, S((base / "site").string())).ok());
  ASSERT_TRUE(PutMember(server.get(), u"Port", {}, Variant::FromI4(0)).ok());
  Variant name = S("docs");
  Variant folder = S((base / "manuals").string());
  std::vector<VARIANT> arguments{name, folder};
  ASSERT_TRUE(CallMember(server.get(), u"AddVirtualDir", arguments).ok());
  ASSERT_TRUE(server->Start());
  std::vector<std::string> paths = HostilePaths();
  ASSERT_GE(paths.size(), 50u);
  int answered = 0;
  for (const std::string& path : paths) {
    for (const char* host : {"t", "evil/../.."}) {
      SCOPED_TRACE(path + " host " + host);
      std::optional<http_test::HttpResponse> response = http_test::Fetch(
          server->BoundPort(), "GET " + path + " HTTP/1.1\r\nHost: " + host + "\r\n\r\n");
      ASSERT_TRUE(response);
      ++answered;
      EXPECT_EQ(response->body.find("TOP-SECRET"), std::string::npos);
      EXPECT_EQ(response->body.find("root:"), std::string::npos);
    }
  }
  EXPECT_EQ(answered, static_cast<int>(paths.size()) * 2);
  // The legitimate files are still served.
  EXPECT_EQ(http_test::Fetch(server->BoundPort(), "GET /docs/intro.htm HTTP/1.1\r\n\r\n")->body,
            "manual");
  server->Stop();
  fs::remove_all(base);
}

}  // namespace

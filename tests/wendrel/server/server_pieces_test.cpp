// The small rules of the server core: keep-alive, refusals, texts, MIME types, the site root.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include <cerrno>

#include "wendrel/http/error_pages.h"
#include "wendrel/server/file_containment.h"
#include "wendrel/server/handlers/request_target.h"
#include "wendrel/server/http_server.h"
#include "wendrel/server/keep_alive.h"
#include "wendrel/server/mime_types.h"
#include "wendrel/server/server_texts.h"

namespace {

namespace fs = std::filesystem;

TEST(KeepAlive, ConnectionValueProtocolAndSetting) {
  struct Case {
    std::string_view connection, protocol;
    bool always_close, keep;
  } cases[] = {
      {"close", "HTTP/1.1", false, false},  {"CLOSE-ish", "HTTP/1.1", false, false},
      {"", "HTTP/1.1", false, true},        {"", "HTTP/1.0", false, false},
      {"keep-alive", "HTTP/1.0", false, true}, {"", "HTTP/2", false, false},
      {"", "HTTP/1.1", true, false},        {"keep-alive", "HTTP/1.1", true, false},
      {"", "", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.connection) + " " + std::string(c.protocol));
    EXPECT_EQ(ShouldKeepConnection(c.connection, c.protocol, c.always_close), c.keep);
  }
}

TEST(Refusals, ContentLengthMatchesTheBody) {
  for (int status : {400, 408, 413, 431, 501, 505}) {
    SCOPED_TRACE(status);
    std::string_view response = RefusalResponse(status);
    EXPECT_EQ(response.substr(9, 3), std::to_string(status));
    size_t length_at = response.find("Content-Length: ");
    size_t body_at = response.find("\r\n\r\n");
    ASSERT_NE(length_at, std::string_view::npos);
    size_t announced = std::stoul(std::string(response.substr(length_at + 16)));
    EXPECT_EQ(response.size() - (body_at + 4), announced);
  }
}

TEST(ServerTexts, KnownIdsAndTheFallback) {
  EXPECT_EQ(ServerText(2015), "Number of threads must be between 3 and 255");
  EXPECT_EQ(ServerText(7777), "Can't find error 0x1E61");
  EXPECT_EQ(ServerTextWithSystemError(3, 98).rfind(
                "Can't bind socket. It seems that the port is already used\r\n98 - ", 0),
            0u);
  EXPECT_EQ(ServerUrlEncoded("a z~"), "a%20z%7E");
  EXPECT_EQ(ServerText(ServerTextId::CannotBind),
            "Can't bind socket. It seems that the port is already used");
  const int ids[] = {
#define SERVER_TEXT(name, id, text) id,
#include "wendrel/server/server_texts.def"
#undef SERVER_TEXT
  };
  std::set<int> unique(std::begin(ids), std::end(ids));
  EXPECT_EQ(unique.size(), std::size(ids));
}

TEST(MimeTypes, BuiltInTableIgnoresCase) {
  EXPECT_EQ(BuiltInMimeType(".HTML"), "text/html");
  EXPECT_EQ(BuiltInMimeType(".jpeg"), "image/jpeg");
  EXPECT_EQ(BuiltInMimeType(".bmp"), "image/x-xbitmap");
  EXPECT_EQ(BuiltInMimeType(".pdf"), "");
}

TEST(SiteRoot, LinksOutsideTheRootAreNotInside) {
  fs::path root = fs::temp_directory_path() / ("wendrel-root-" + std::to_string(getpid()));
  fs::remove_all(root);
  fs::create_directories(root / "sub");
  std::ofstream(root / "sub" / "a.htm") << "a";
  fs::path outside = root.parent_path() / ("outside-" + std::to_string(getpid()) + ".htm");
  std::ofstream(outside) << "x";
  fs::create_symlink(outside, root / "link.htm");
  fs::create_symlink(root / "sub" / "a.htm", root / "inner.htm");
  EXPECT_TRUE(IsInsideRoot(root.string(), (root / "sub" / "a.htm").string()));
  EXPECT_TRUE(IsInsideRoot(root.string(), (root / "inner.htm").string()));
  EXPECT_FALSE(IsInsideRoot(root.string(), (root / "link.htm").string()));
  EXPECT_FALSE(IsInsideRoot(root.string(), (root / "missing.htm").string()));
  for (const auto& [name, inside] : {std::pair{"inner.htm", true}, std::pair{"link.htm", false}}) {
    int file = open((root / name).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(file, 0);
    EXPECT_EQ(OpenFileIsInsideRoot(root.string(), file), inside) << name;
    close(file);
  }
  // Opened beneath the root: a link that leads out is refused, links that stay inside (relative
  // or absolute) are followed, and a path that does not start with the root is checked by its
  // real path.
  FileRoot held(root.string() + "/sub/..");
  EXPECT_EQ(held.path(), root.string());
  EXPECT_GE(held.descriptor(), 0);
  struct Case {
    std::string path;
    bool opens;
  } cases[] = {{(root / "sub" / "a.htm").string(), true},
               {(root / "inner.htm").string(), true},
               {(root / "link.htm").string(), false},
               {(root / "missing.htm").string(), false},
               {outside.string(), false}};
  fs::create_symlink("sub/a.htm", root / "relative.htm");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    int file = held.OpenBeneath(c.path, O_RDONLY | O_CLOEXEC);
    EXPECT_EQ(file >= 0, c.opens);
    if (file >= 0) close(file);
  }
  int relative = held.OpenBeneath((root / "relative.htm").string(), O_RDONLY | O_CLOEXEC);
  EXPECT_GE(relative, 0);
  if (relative >= 0) close(relative);
  errno = 0;
  EXPECT_LT(held.OpenBeneath((root / "link.htm").string(), O_RDONLY | O_CLOEXEC), 0);
  EXPECT_EQ(errno, EXDEV);
  FileRoot missing((root / "nowhere").string());
  EXPECT_LT(missing.descriptor(), 0);
  EXPECT_EQ(ResolveRequestFile((root / "sub").string(), "index.htm"),
            (root / "sub").string() + "/index.htm");
  EXPECT_EQ(ResolveRequestFile((root / "sub").string() + "/", "index.htm"),
            (root / "sub").string() + "/index.htm");
  EXPECT_EQ(ResolveRequestFile((root / "nothing").string(), "index.htm"),
            (root / "nothing").string() + "/index.htm");
  EXPECT_EQ(ResolveRequestFile((root / "sub" / "a.htm").string(), "index.htm"),
            (root / "sub" / "a.htm").string());
  fs::remove(outside);
  fs::remove_all(root);
}

TEST(ContentTypes, BuiltInTableComesBeforeConfiguredTypes) {
  std::vector<std::pair<std::string, std::string>> configured = {{".pdf", "application/pdf"},
                                                                 {".htm", "text/plain"}};
  EXPECT_EQ(ContentTypeOf(".PDF", configured), "application/pdf");
  EXPECT_EQ(ContentTypeOf(".htm", configured), "text/html");
  EXPECT_EQ(ContentTypeOf(".bmp", configured), "image/x-xbitmap");
  EXPECT_EQ(ContentTypeOf(".xyz", configured), "");
  EXPECT_EQ(ExtensionOf("/a.b/c"), "");
  EXPECT_EQ(ExtensionOf("/a/c.tar.gz"), ".gz");
}

}  // namespace

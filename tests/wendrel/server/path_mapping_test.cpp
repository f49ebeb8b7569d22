#include "wendrel/server/path_mapping.h"

#include <gtest/gtest.h>

namespace {

SiteMap Site() {
  SiteMap site;
  site.default_directory = "/srv/web";
  site.virtual_dirs = {{"/docs/", "/data/manuals"}, {"/Img/", "/data/images/"}};
  site.host_ids = {{"intranet", "/srv/intra"}};
  return site;
}

TEST(PathMapping, SiteRootVirtualDirectoriesAndHosts) {
  struct Case {
    std::string_view url, host, path, root;
  } cases[] = {
      {"/a/b.htm", "", "/srv/web/a/b.htm", "/srv/web"},
      {"/../x.htm", "", "/srv/web/x.htm", "/srv/web"},
      {"/a/../../x.htm", "", "/srv/web/x.htm", "/srv/web"},
      {"/docs/intro.htm", "", "/data/manuals/intro.htm", "/data/manuals"},
      {"/DOCS/intro.htm", "", "/data/manuals/intro.htm", "/data/manuals"},
      {"/docs", "", "/data/manuals", "/data/manuals"},
      {"/docs/../../etc/passwd", "", "/data/manuals/etc/passwd", "/data/manuals"},
      {"/img/a.gif", "", "/data/images/a.gif", "/data/images/"},
      {"/a/docs/x.htm", "", "/data/manuals/x.htm", "/data/manuals"},
      {"/page.htm", "intranet", "/srv/intra/page.htm", "/srv/intra"},
      {"/page.htm", "INTRANET", "/srv/intra/page.htm", "/srv/intra"},
      {"/page.htm", "other", "/srv/web/page.htm", "/srv/web"},
      {"/dir/", "", "/srv/web/dir/", "/srv/web"},
      {"\\..\\..\\etc\\passwd", "", "/srv/web/etc/passwd", "/srv/web"},
      {"//x//y.htm", "", "/srv/web/x/y.htm", "/srv/web"},
  };
  SiteMap site = Site();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.url) + " @" + std::string(c.host));
    MappedPath mapped = MapUrlPath(site, c.url, c.host);
    EXPECT_EQ(mapped.path, c.path);
    EXPECT_EQ(mapped.root, c.root);
  }
}

TEST(PathMapping, NormalisedPathResolvesDots) {
  EXPECT_EQ(NormalisedPath("/a/./b/../c"), "/a/c");
  EXPECT_EQ(NormalisedPath("/../../a"), "/a");
  EXPECT_EQ(NormalisedPath("/a//b/"), "/a/b/");
  EXPECT_EQ(NormalisedPath("/"), "/");
}

// Containment is exact: this file system tells case apart.
TEST(PathMapping, RootComparisonIsCaseSensitive) {
  SiteMap site;
  site.default_directory = "/srv/Web";
  EXPECT_EQ(MapUrlPath(site, "/../web/secret.txt").path, "/srv/Web/web/secret.txt");
}

}  // namespace

#pragma once
// Path mapping: a URL path onto the file system, through the host identifiers (a root per Host
// name), the virtual directories and the site root. The result never leaves the root it was
// mapped under: ".." steps are resolved on the text and a path that climbs out is put back
// under the root. Backslashes in the URL count as separators.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct SiteMap {
  std::string default_directory;                                   // the site root
  std::vector<std::pair<std::string, std::string>> virtual_dirs;   // "/docs/" -> folder
  std::vector<std::pair<std::string, std::string>> host_ids;       // host name -> folder
};

struct MappedPath {
  std::string path;  // the physical path
  std::string root;  // the folder the path must stay in (site root, host root or virtual dir)
};

/// Maps `url_path` for a request to `server_name` (the Host header without port; empty
/// without a request).
MappedPath MapUrlPath(const SiteMap& site, std::string_view url_path,
                      std::string_view server_name = {});

/// The path with "." and ".." segments resolved and repeated '/' collapsed; ".." at the top
/// stays at the top.
std::string NormalisedPath(std::string_view path);

#pragma once
// Static files below the site root: the request path mapped onto the root, the default
// document for a folder, the content type from the MIME table, conditional GET. A path that
// would leave the root (".." segments, or a link pointing outside) is answered 404.

#include <optional>
#include <string>
#include <string_view>

struct ServerSettings;
class Request;
class Response;

/// The physical path of a virtual path below the site root; nothing when it has a ".." segment.
std::optional<std::string> MapToSiteRoot(const ServerSettings& settings,
                                         std::string_view virtual_path);

/// The file that answers a request path: the mapped path, with the default document when it
/// names a folder (a trailing '/', or a last segment without '.' that is a folder or nothing).
std::optional<std::string> ResolveRequestFile(const ServerSettings& settings,
                                              std::string_view request_page);

/// Whether `path` exists and, with links resolved, lies inside `root`.
bool IsInsideRoot(const std::string& root, const std::string& path);

/// Answers the request with the file its path names (or the 404 page).
void ServeStaticFile(const ServerSettings& settings, Request& request, Response& response);

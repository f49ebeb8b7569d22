#pragma once
// Dispatch: a parsed request mapped to its file (host identifiers, virtual directories, the
// default document), handed to the host through PageRequested where the rules say so, and
// otherwise answered: static files with their content type and conditional GET, ASP.NET pages
// with the bridge's page. The caller flushes the response and writes the access log.

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "wendrel/server/path_mapping.h"

struct ServerSettings;
class HostEvents;
class Request;
class Response;

struct DispatchContext {
  const ServerSettings& settings;
  const SiteMap& site;
  const std::vector<std::pair<std::string, std::string>>& mime_types;  // ".pdf" -> type
  HostEvents& events;
  const std::atomic<bool>& stopping;
  std::function<bool()> frozen;  // FreezeEvents as it is now
};

void DispatchRequest(const DispatchContext& context, Request& request, Response& response);

/// The file that answers a mapped path: the default document for a folder (a trailing '/', or
/// a last segment without '.' that is a folder or does not exist), else the path itself.
std::string ResolveRequestFile(const std::string& mapped_path, std::string_view default_document);

/// The content type of an extension: the built-in table first, then the configured types
/// (".htm" cannot be overridden); empty when neither knows it.
std::string ContentTypeOf(std::string_view extension,
                          const std::vector<std::pair<std::string, std::string>>& mime_types);

/// The extension of a path's last segment, with its full stop; empty when it has none.
std::string_view ExtensionOf(std::string_view path);

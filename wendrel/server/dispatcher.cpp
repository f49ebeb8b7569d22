#include "wendrel/server/dispatcher.h"

#include <sys/stat.h>


#include "wendrel/asp/request.h"
#include "wendrel/common/byte_string.h"
#include "wendrel/components/dotnet_bridge.h"
#include "wendrel/server/host_events.h"
#include "wendrel/server/mime_types.h"
#include "wendrel/server/response.h"
#include "wendrel/server/server_settings.h"

namespace {

constexpr char kDefaultContentType[] = "text/html";

bool IsDirectory(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool Exists(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0;
}

// One request's way through dispatch; PageRequested is raised at most once.
class Dispatch {
 public:
  Dispatch(const DispatchContext& context, Request& request, Response& response)
      : context_(context), request_(request), response_(response) {}

  void Run() {
    MappedPath mapped = MapUrlPath(context_.site, request_.RequestPage(), request_.ServerName());
    root_ = mapped.root;
    mapped_file_ = ResolveRequestFile(mapped.path, context_.settings.default_document);
    request_.SetDefaultResponseFile(mapped_file_);
    if (!context_.settings.process_default_files && !HostContinues()) return;
    std::string file = request_.DefaultResponseFile();
    std::string_view extension = ExtensionOf(file);
    if (extension.empty()) {
      if (HostContinues()) SendFile(file, std::nullopt, std::nullopt);
      return;
    }
    std::string type = ContentTypeOf(extension, context_.mime_types);
    if (!type.empty()) {
      SendFile(file, request_.IfModifiedSince(), type);
      return;
    }
    if (IsDotNetExtension(extension)) {
      AnswerDotNetUnavailable(response_);
      return;
    }
    if (HostContinues()) SendFile(file, std::nullopt, std::string(kDefaultContentType));
  }

 private:
  // Raises PageRequested (once); whether default processing goes on.
  bool HostContinues() {
    if (!raised_) {
      raised_ = true;
      continues_ = context_.events.RaisePageRequested(
          request_, response_, [this] { return FreezeEvents(); }, context_.stopping);
    }
    return continues_;
  }

  bool FreezeEvents() const;

  // A file the mapping produced must lie inside its root, links resolved (checked on the
  // opened file); a file the host chose in PageRequested is the host's to answer for.
  void SendFile(const std::string& file, std::optional<int64_t> if_modified_since,
                std::optional<std::string> content_type) {
    std::optional<std::string_view> type;
    if (content_type) type = *content_type;
    std::optional<std::string_view> inside;
    if (file == mapped_file_) inside = root_;
    (void)response_.SendFile(file, if_modified_since, 0, 0, type, inside);
  }

  const DispatchContext& context_;
  Request& request_;
  Response& response_;
  std::string root_;
  std::string mapped_file_;
  bool raised_ = false;
  bool continues_ = true;
};

}  // namespace

// FreezeEvents is read live: the host changes it while requests wait.
bool Dispatch::FreezeEvents() const { return context_.frozen(); }

void DispatchRequest(const DispatchContext& context, Request& request, Response& response) {
  Dispatch(context, request, response).Run();
}

std::string ResolveRequestFile(const std::string& mapped_path, std::string_view default_document) {
  if (mapped_path.ends_with('/')) return mapped_path + std::string(default_document);
  size_t slash = mapped_path.rfind('/');
  bool has_dot = mapped_path.find('.', slash == std::string::npos ? 0 : slash) != std::string::npos;
  if (!has_dot && (!Exists(mapped_path) || IsDirectory(mapped_path))) {
    return mapped_path + "/" + std::string(default_document);
  }
  return mapped_path;
}

std::string ContentTypeOf(std::string_view extension,
                          const std::vector<std::pair<std::string, std::string>>& mime_types) {
  std::string built_in = BuiltInMimeType(extension);
  if (!built_in.empty()) return built_in;
  for (const auto& [known, type] : mime_types) {
    if (BytesEqualIgnoringCase(known, extension)) return type;
  }
  return {};
}

std::string_view ExtensionOf(std::string_view path) {
  size_t dot = path.rfind('.');
  size_t slash = path.rfind('/');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && slash > dot)) return {};
  return path.substr(dot);
}

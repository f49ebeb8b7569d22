// Body parsing of the Request: the query string, URL-encoded and multipart forms (with file
// uploads) and the cookies.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "wendrel/asp/item.h"
#include "wendrel/asp/multipart.h"
#include "wendrel/asp/request.h"
#include "wendrel/common/server_file_kinds.h"
#include "wendrel/common/byte_string.h"
#include "wendrel/common/url_decoding.h"

namespace {

// Adds the pairs of URL-encoded text ("a=1&b=2&c") to a collection, decoded.
void AddUrlEncodedPairs(Collection& collection, std::string_view text) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('&', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view piece = text.substr(start, end - start);
    start = end + 1;
    if (piece.empty()) continue;  // "a=1&&b=2" and a trailing '&' name nothing
    size_t equals = piece.find('=');
    if (equals == std::string_view::npos) {
      collection.AddEntry(PercentDecoded(piece), std::string_view());
    } else {
      collection.AddEntry(PercentDecoded(piece.substr(0, equals)),
                          std::string(PercentDecoded(piece.substr(equals + 1))));
    }
  }
}

// Names tried for an upload whose name is taken: "a.txt", then "a (1).txt" ... "a (999).txt".
constexpr int kMaxUploadNameTries = 1000;

// The name with " (n)" before its extension.
std::string NumberedName(std::string_view name, int number) {
  if (number == 0) return std::string(name);
  std::string_view extension = ExtensionOf(name);
  std::string numbered(name.substr(0, name.size() - extension.size()));
  numbered += " (" + std::to_string(number) + ")";
  numbered += extension;
  return numbered;
}

// Writes an uploaded file under a name no file has yet: an existing file is never replaced
// (the name gets a number), and a symbolic link planted under the name is not followed. The
// path written, or nothing when the file could not be created.
std::optional<std::string> WriteUpload(const std::string& folder, std::string_view name,
                                       std::string_view content) {
  int file = -1;
  std::string path;
  for (int number = 0; number < kMaxUploadNameTries && file < 0; ++number) {
    path = folder + NumberedName(name, number);
    file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (file < 0 && errno != EEXIST) return std::nullopt;
  }
  if (file < 0) return std::nullopt;
  while (!content.empty()) {
    ssize_t written = ::write(file, content.data(), content.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) break;
    content.remove_prefix(static_cast<size_t>(written));
  }
  ::close(file);
  return path;
}

}  // namespace

class RequestBodyParser {
 public:
  explicit RequestBodyParser(Request& request) : request_(request) {}

  void Parse() {
    if (!request_.full_parse_) {
      size_t question = request_.raw_path_.find('?');
      request_.request_page_ = PercentDecoded(std::string_view(request_.raw_path_).substr(0, question));
      return;
    }
    request_.form_->RemoveAllEntries();
    request_.query_string_->RemoveAllEntries();
    ParseQuery();
    ParseFormBody();
    ParseCookies();
  }

 private:
  void ParseQuery() {
    std::string_view path = request_.raw_path_;
    size_t question = path.find('?');
    if (question == std::string_view::npos || question == 0) {
      request_.request_page_ = PercentDecoded(path);
      request_.url_path_ = request_.request_page_;
      request_.query_text_.clear();
      if (request_.query_string_->RawText()) request_.query_string_->SetRawText("");
      return;
    }
    request_.url_path_ = std::string(path.substr(0, question));
    request_.query_text_ = std::string(path.substr(question + 1));
    request_.query_string_->SetRawText(request_.query_text_);
    AddUrlEncodedPairs(*request_.query_string_, request_.query_text_);
    request_.request_page_ = PercentDecoded(path.substr(0, question));
  }

  void ParseFormBody() {
    Collection& form = *request_.form_;
    if (request_.body_.empty()) {
      if (form.RawText()) form.SetRawText("");
      return;
    }
    std::string_view type = request_.content_type_;
    if (FindBytes(type, "x-www-form-urlencoded", 0, CaseSensitivity::Insensitive) !=
        std::string_view::npos) {
      form.SetRawText(request_.body_);
      AddUrlEncodedPairs(form, request_.body_);
      return;
    }
    if (FindBytes(type, "multipart/form-data", 0, CaseSensitivity::Insensitive) !=
        std::string_view::npos) {
      ParseMultipartBody();
      return;
    }
    form.SetRawText(request_.body_);
  }

  void ParseMultipartBody() {
    std::optional<std::string> boundary = MultipartBoundary(request_.content_type_);
    if (!boundary) return;
    for (const MultipartPart& part : ParseMultipart(request_.body_, *boundary)) {
      if (!part.file_name) {
        request_.form_->AddEntry(part.field_name, part.content);
        continue;
      }
      AddUpload(part);
    }
  }

  // A file field gets two values, the physical path and the file name; its content is written
  // into the upload folder (the path is the one written), or kept as a third value when
  // uploads are off.
  void AddUpload(const MultipartPart& part) {
    // Only the last path segment of the name the browser sent; "C:\dir\a.txt" gives "a.txt".
    std::string_view sent = *part.file_name;
    size_t separator = sent.find_last_of("/\\");
    std::string shown(separator == std::string_view::npos ? sent : sent.substr(separator + 1));
    std::string folder = UploadFolder();
    bool uploads_off = request_.server_ != nullptr && request_.server_->DisableUpload();
    std::optional<std::string> written;
    if (!uploads_off && MayWrite(folder, sent)) {
      written = WriteUpload(folder, *SafeUploadFileName(sent), part.content);
    }
    request_.form_->AddEntry(part.field_name, written.value_or(folder + shown));
    ComPtr<IDispatch> field = request_.form_->AddEntry(part.field_name, shown);
    if (uploads_off && field) {
      (void)static_cast<Item*>(field.get())->StoreAt(2, BytesToText(part.content, CP_ACP));
    }
  }

  // A name that can be a file, a known folder, and never a file the server would run or hide
  // in a folder it serves (an uploaded page must not become a page).
  bool MayWrite(const std::string& folder, std::string_view sent) const {
    std::optional<std::string> name = SafeUploadFileName(sent);
    if (!name || folder.empty()) return false;
    if (!IsServerCodeExtension(ExtensionOf(*name))) return true;
    return request_.server_ != nullptr && !request_.server_->IsServedFolder(folder);
  }

  // The upload folder with a trailing '/': the server's UploadDir (an absolute path as it is,
  // anything else mapped as a virtual path), or the server's private upload folder; empty when
  // it cannot be known.
  std::string UploadFolder() const {
    const RequestServer* server = request_.server_;
    if (server == nullptr) return {};
    std::string configured = server->UploadDir();
    std::optional<std::string> folder;
    if (configured.empty()) {
      folder = server->PrivateUploadFolder();
    } else if (configured.starts_with('/')) {
      folder = configured;
    } else {
      folder = server->MapVirtualPath(configured, request_);
    }
    if (!folder || folder->empty()) return {};
    if (!folder->ends_with('/')) *folder += '/';
    return *folder;
  }

  // "a=1; b=2": each name and value decoded; a piece without '=' is ignored.
  void ParseCookies() {
    std::string_view text = request_.cookie_text_;
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find(';', start);
      if (end == std::string_view::npos) end = text.size();
      std::string_view piece = text.substr(start, end - start);
      start = end + 1;
      size_t equals = piece.find('=');
      if (equals == std::string_view::npos) continue;
      std::string name = PercentDecoded(piece.substr(0, equals));
      std::string_view value = piece.substr(equals + 1);
      value.remove_prefix(std::min(value.size(), value.find_first_not_of(' ')));
      size_t name_start = name.find_first_not_of(' ');
      name.erase(0, name_start == std::string::npos ? name.size() : name_start);
      request_.cookies_->AddEntry(name, PercentDecoded(value));
    }
  }

  Request& request_;
};

void Request::ParseBody() { RequestBodyParser(*this).Parse(); }

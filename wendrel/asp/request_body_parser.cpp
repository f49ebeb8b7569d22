// Body parsing of the Request: the query string, URL-encoded and multipart forms (with file
// uploads) and the cookies.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "wendrel/asp/item.h"
#include "wendrel/asp/multipart.h"
#include "wendrel/asp/request.h"
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

// Writes an uploaded file; a file that cannot be created or written is skipped. The name has
// no separators (SafeUploadFileName), and a symbolic link planted under that name is not
// followed.
void WriteUpload(const std::string& path, std::string_view content) {
  int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (file < 0) return;
  while (!content.empty()) {
    ssize_t written = ::write(file, content.data(), content.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) break;
    content.remove_prefix(static_cast<size_t>(written));
  }
  ::close(file);
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
  // into the upload folder, or kept as a third value when uploads are off.
  void AddUpload(const MultipartPart& part) {
    // Only the last path segment of the name the browser sent; "C:\dir\a.txt" gives "a.txt".
    std::string_view sent = *part.file_name;
    size_t separator = sent.find_last_of("/\\");
    std::string shown(separator == std::string_view::npos ? sent : sent.substr(separator + 1));
    std::optional<std::string> safe_name = SafeUploadFileName(sent);
    std::string folder = UploadFolder();
    std::string path = folder + shown;
    request_.form_->AddEntry(part.field_name, path);
    ComPtr<IDispatch> field = request_.form_->AddEntry(part.field_name, shown);
    bool uploads_off = request_.server_ != nullptr && request_.server_->DisableUpload();
    if (uploads_off) {
      if (field) {
        (void)static_cast<Item*>(field.get())->StoreAt(2, BytesToText(part.content, CP_ACP));
      }
      return;
    }
    if (safe_name && !folder.empty()) WriteUpload(folder + *safe_name, part.content);
  }

  // The upload folder with a trailing '/': the server's UploadDir (an absolute path as it is,
  // anything else mapped as a virtual path), or the site root; empty when it cannot be known.
  std::string UploadFolder() const {
    const RequestServer* server = request_.server_;
    if (server == nullptr) return {};
    std::string configured = server->UploadDir();
    std::optional<std::string> folder;
    if (configured.starts_with('/')) {
      folder = configured;
    } else {
      folder = server->MapVirtualPath(configured.empty() ? "/" : configured, request_);
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

#include "wendrel/asp/multipart.h"

#include "wendrel/asp/header_text.h"
#include "wendrel/common/byte_string.h"

namespace {

constexpr std::string_view kHeaderEnd = "\r\n\r\n";
constexpr std::string_view kLineEnd = "\r\n";

// The value after `attribute` and the next '=' in a header line, up to ';' or the line end,
// with one leading and one trailing '"' removed; nothing when the attribute is absent.
std::optional<std::string> AttributeValue(std::string_view line, std::string_view attribute) {
  size_t at = FindBytes(line, attribute, 0, CaseSensitivity::Insensitive);
  if (at == std::string_view::npos) return std::nullopt;
  size_t equals = line.find('=', at + attribute.size());
  if (equals == std::string_view::npos) return std::nullopt;
  std::string_view value = line.substr(equals + 1);
  value = value.substr(0, value.find(';'));
  if (!value.empty() && value.front() == '"') value.remove_prefix(1);
  if (!value.empty() && value.back() == '"') value.remove_suffix(1);
  return std::string(value);
}

// One part's data (from the end of a boundary to the start of the next): its field, file name
// and content; nothing without the empty line that ends its headers.
std::optional<MultipartPart> ParsePart(std::string_view data) {
  data = WithoutLeadingBlanks(data);
  size_t header_end = data.find(kHeaderEnd);
  if (header_end == std::string_view::npos) return std::nullopt;
  MultipartPart part;
  std::string_view headers = data.substr(0, header_end);
  while (!headers.empty()) {
    size_t end = headers.find(kLineEnd);
    std::string_view line = headers.substr(0, end);
    if (std::optional<std::string> name = AttributeValue(line, "name")) part.field_name = *name;
    if (std::optional<std::string> file = AttributeValue(line, "filename")) part.file_name = *file;
    if (end == std::string_view::npos) break;
    headers.remove_prefix(end + kLineEnd.size());
  }
  std::string_view content = data.substr(header_end + kHeaderEnd.size());
  // The delimiter's "--" and the line end before it belong to the boundary, not the content.
  if (content.ends_with("--")) content.remove_suffix(2);
  if (content.ends_with(kLineEnd)) content.remove_suffix(kLineEnd.size());
  part.content = content;
  return part;
}

}  // namespace

std::optional<std::string> MultipartBoundary(std::string_view content_type) {
  size_t at = FindBytes(content_type, "boundary", 0, CaseSensitivity::Insensitive);
  if (at == std::string_view::npos) return std::nullopt;
  size_t equals = content_type.find('=', at + 8);
  if (equals == std::string_view::npos) return std::nullopt;
  std::string boundary = NormalisedHeaderValue(content_type.substr(equals + 1));
  if (boundary.empty()) return std::nullopt;
  return boundary;
}

std::vector<MultipartPart> ParseMultipart(std::string_view body, std::string_view boundary) {
  std::vector<MultipartPart> parts;
  if (boundary.empty()) return parts;
  size_t occurrence = FindBytes(body, boundary, 0, CaseSensitivity::Sensitive);
  while (occurrence != std::string_view::npos) {
    size_t start = occurrence + boundary.size();
    size_t next = FindBytes(body, boundary, start, CaseSensitivity::Sensitive);
    size_t end = next == std::string_view::npos ? body.size() : next;
    if (std::optional<MultipartPart> part = ParsePart(body.substr(start, end - start))) {
      parts.push_back(std::move(*part));
    }
    occurrence = next;
  }
  return parts;
}

std::optional<std::string> SafeUploadFileName(std::string_view sent_name) {
  size_t separator = sent_name.find_last_of("/\\");
  std::string_view name =
      separator == std::string_view::npos ? sent_name : sent_name.substr(separator + 1);
  if (name.empty() || name == "." || name == "..") return std::nullopt;
  if (name.find('\0') != std::string_view::npos) return std::nullopt;
  return std::string(name);
}

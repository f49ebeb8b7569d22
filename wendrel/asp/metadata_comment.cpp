#include "wendrel/asp/metadata_comment.h"

#include <charconv>
#include <optional>
#include <string>

#include "platform/com/guid.h"
#include "wendrel/asp/preprocessor_texts.h"
#include "wendrel/asp/tag_attributes.h"
#include "wendrel/common/byte_string.h"

namespace {

constexpr std::string_view kTypeName = "TYPE";
constexpr std::string_view kTypeLibraryValue = "TYPELIB";
constexpr std::string_view kFileName = "FILE";
constexpr std::string_view kUuidName = "UUID";
constexpr std::string_view kVersionName = "VERSION";
constexpr int kMaxVersionNumber = 0xFFFF;

PreprocessFailure MetadataFailure(std::string_view detail, std::string_view value = {}) {
  return PreprocessFailure{kAspInvalidMetadata, std::string(detail) + std::string(value), {}};
}

// version-number -> 1*digit, at most 65535
std::optional<int> VersionNumber(std::string_view text) {
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty() ||
      text.front() == '-' || value > kMaxVersionNumber) {
    return std::nullopt;
  }
  return value;
}

// version -> version-number [ '.' version-number ]
PreprocessOutcome<void> ReadVersion(std::string_view text, TypeLibraryReference& reference) {
  size_t dot = text.find('.');
  std::optional<int> major = VersionNumber(text.substr(0, dot));
  std::optional<int> minor = -1;
  if (dot != std::string_view::npos) minor = VersionNumber(text.substr(dot + 1));
  if (!major || !minor) return MetadataFailure(kMetadataBadVersion, text);
  reference.major = *major;
  reference.minor = *minor;
  return {};
}

// uuid -> [ '{' ] guid-digits [ '}' ]
std::optional<GUID> UuidOf(std::string_view text) {
  std::u16string braced;
  if (text.empty() || text.front() != '{') braced.push_back(u'{');
  for (char c : text) braced.push_back(static_cast<unsigned char>(c));
  if (text.empty() || text.back() != '}') braced.push_back(u'}');
  return GuidFromString(braced);
}

}  // namespace

// metadata -> { attribute }: TYPE, FILE | UUID, [ VERSION ]
PreprocessOutcome<TypeLibraryReference> ParseMetadataComment(std::string_view body) {
  std::optional<std::string_view> type = FindTagAttribute(body, kTypeName);
  if (!type || !BytesEqualIgnoringCase(*type, kTypeLibraryValue)) {
    return MetadataFailure(kMetadataNotTypeLibrary);
  }
  TypeLibraryReference reference;
  if (std::optional<std::string_view> version = FindTagAttribute(body, kVersionName)) {
    TRY(ReadVersion(*version, reference));
  }
  std::optional<std::string_view> file = FindTagAttribute(body, kFileName);
  if (file && !file->empty()) {
    reference.file = std::string(*file);
    return reference;
  }
  std::optional<std::string_view> uuid = FindTagAttribute(body, kUuidName);
  if (!uuid || uuid->empty()) return MetadataFailure(kMetadataWithoutLibrary);
  reference.guid = UuidOf(*uuid);
  if (!reference.guid) return MetadataFailure(kMetadataBadUuid, *uuid);
  return reference;
}

#include "wendrel/asp/tag_attributes.h"

#include "wendrel/common/byte_string.h"

namespace {

constexpr std::string_view kRunAtName = "RUNAT";
constexpr std::string_view kServerValue = "server";

size_t SpaceLength(std::string_view text) {
  size_t length = 0;
  while (length < text.size() && IsTextSpace(text[length])) ++length;
  return length;
}

}  // namespace

bool IsTextSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool IsSpaceOnly(std::string_view text) { return SpaceLength(text) == text.size(); }

std::string_view TrimSpace(std::string_view text) {
  text.remove_prefix(SpaceLength(text));
  while (!text.empty() && IsTextSpace(text.back())) text.remove_suffix(1);
  return text;
}

// attribute -> name [ { space } '=' { space } value ]
bool TagAttributeReader::Next(TagAttribute& attribute) {
  rest_.remove_prefix(SpaceLength(rest_));
  if (rest_.empty()) return false;
  size_t name_end = 0;
  while (name_end < rest_.size() && !IsTextSpace(rest_[name_end]) && rest_[name_end] != '=') {
    ++name_end;
  }
  attribute = TagAttribute{rest_.substr(0, name_end), {}, false};
  std::string_view after_name = rest_.substr(name_end);
  after_name.remove_prefix(SpaceLength(after_name));
  if (after_name.empty() || after_name.front() != '=') {
    // A bare name: the white space after it is skipped by the next call.
    rest_.remove_prefix(name_end);
    return true;
  }
  after_name.remove_prefix(1);
  after_name.remove_prefix(SpaceLength(after_name));
  rest_ = after_name;
  attribute.has_value = true;
  attribute.value = ReadValue();
  return true;
}

// value -> '"' {byte} ['"'] | '\'' {byte} ['\''] | { byte other than space }
std::string_view TagAttributeReader::ReadValue() {
  if (!rest_.empty() && (rest_.front() == '"' || rest_.front() == '\'')) {
    char quote = rest_.front();
    size_t close = rest_.find(quote, 1);
    std::string_view inside =
        rest_.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
    rest_ = close == std::string_view::npos ? std::string_view() : rest_.substr(close + 1);
    return TrimSpace(inside);
  }
  size_t end = 0;
  while (end < rest_.size() && !IsTextSpace(rest_[end])) ++end;
  std::string_view value = rest_.substr(0, end);
  rest_.remove_prefix(end);
  return value;
}

std::optional<std::string_view> FindTagAttribute(std::string_view text, std::string_view name) {
  TagAttributeReader reader(text);
  TagAttribute attribute;
  while (reader.Next(attribute)) {
    if (BytesEqualIgnoringCase(attribute.name, name)) return attribute.value;
  }
  return std::nullopt;
}

bool IsServerTag(std::string_view attributes) {
  std::optional<std::string_view> run_at = FindTagAttribute(attributes, kRunAtName);
  return run_at.has_value() && BytesEqualIgnoringCase(*run_at, kServerValue);
}

#pragma once
// The name=value attributes inside ASP constructs: a SCRIPT or OBJECT open tag, a <%@ %>
// directive, an #include or METADATA comment. Names compare ignoring case; values may be
// quoted with '"' or '\'' and have the quotes and surrounding white space removed.

#include <optional>
#include <string_view>

struct TagAttribute {
  std::string_view name;
  std::string_view value;  // quotes and surrounding white space removed; empty without '='
  bool has_value = false;  // a '=' followed the name
};

/// Reads the attributes of a text one by one:
///   attributes -> { space } { attribute { space } }
///   attribute  -> name [ { space } '=' { space } value ]
///   name       -> 1*( byte other than space and '=' )
///   value      -> '"' { byte other than '"' } ['"'] | '\'' { byte other than '\'' } ['\'']
///                 | { byte other than space }
/// A quote left open runs to the end of the text. A '=' without a name gives an attribute
/// with an empty name.
class TagAttributeReader {
 public:
  explicit TagAttributeReader(std::string_view text) : rest_(text) {}
  /// The next attribute; false at the end of the text.
  bool Next(TagAttribute& attribute);

 private:
  std::string_view ReadValue();

  std::string_view rest_;
};

/// The value of the first attribute called `name` (ignoring case); nothing when there is none.
/// An attribute written without '=' has an empty value.
std::optional<std::string_view> FindTagAttribute(std::string_view text, std::string_view name);

/// Whether the attributes of an open tag say RUNAT=Server (ignoring case, quotes and white
/// space). RUNAT inside another attribute's name or value does not count.
bool IsServerTag(std::string_view attributes);

/// Space, tab, CR, LF, vertical tab and form feed.
bool IsTextSpace(char c);
/// Whether the text is empty or holds white space only.
bool IsSpaceOnly(std::string_view text);
/// The text without leading and trailing white space.
std::string_view TrimSpace(std::string_view text);

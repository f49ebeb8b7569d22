#include "platform/ado/connection_string.h"

#include <algorithm>
#include <array>
#include <span>

#include "platform/ado/ado_error.h"
#include "platform/automation/conversion.h"
#include "platform/automation/text_case.h"
#include "platform/system/file_path.h"

namespace {

enum class ProviderKind { Odbc, Sqlite, Postgres };

struct ProviderName {
  std::u16string_view name;
  ProviderKind kind;
};

constexpr ProviderName kProviders[] = {
    {u"MSDASQL", ProviderKind::Odbc},
    {u"SQLite", ProviderKind::Sqlite},
    {u"SQLite3", ProviderKind::Sqlite},
    {u"SQLiteOLEDB", ProviderKind::Sqlite},
    {u"PostgreSQL", ProviderKind::Postgres},
    {u"PostgreSQL OLE DB Provider", ProviderKind::Postgres},
    {u"PGNP", ProviderKind::Postgres},
};

constexpr std::u16string_view kSqliteDriver = u"SQLite3";
constexpr std::u16string_view kPostgresDriver = u"PostgreSQL Unicode";
constexpr std::u16string_view kSqliteFileEndings[] = {u".db", u".db3", u".sqlite", u".sqlite3"};

// A key that renames to an ODBC keyword, or drops (empty), for one kind of provider.
struct KeyMapping {
  std::u16string_view ado_key;
  std::u16string_view odbc_key;
};

constexpr KeyMapping kOdbcKeys[] = {
    {u"Data Source", u"DSN"}, {u"User ID", u"UID"}, {u"Password", u"PWD"},
    {u"Initial Catalog", u"Database"},
};
constexpr KeyMapping kSqliteKeys[] = {
    {u"Data Source", u"Database"}, {u"User ID", u""}, {u"Password", u""},
};
constexpr KeyMapping kPostgresKeys[] = {
    {u"Data Source", u"Server"}, {u"Location", u"Database"}, {u"Initial Catalog", u"Database"},
    {u"User ID", u"UID"}, {u"Password", u"PWD"},
};
// Keys of ADO itself, never given to a driver.
constexpr std::u16string_view kAdoOnlyKeys[] = {
    u"Provider", u"OLE DB Services", u"Persist Security Info", u"Connect Timeout",
    u"Extended Properties",
};

bool SameKey(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && ToUpper(a) == ToUpper(b);
}

std::u16string_view Trim(std::u16string_view text) {
  size_t first = text.find_first_not_of(u" \t\r\n");
  if (first == std::u16string_view::npos) return {};
  size_t last = text.find_last_not_of(u" \t\r\n");
  return text.substr(first, last - first + 1);
}

bool IsForbiddenKeyCharacter(char16_t c) {
  return std::u16string_view(u"[]{}(),;?*=!@").find(c) != std::u16string_view::npos;
}

Error BadString() {
  return Error::FromHresult(
      kDbBadInitString,
      u"Format of the initialization string does not conform to the OLE DB specification.",
      std::u16string(kProviderSource));
}

// Reads a quoted value starting at `text[position]` (the opening quote); moves `position` past
// the closing quote. `close` doubled inside stands for itself.
std::optional<std::u16string> ReadQuoted(std::u16string_view text, size_t& position,
                                         char16_t close) {
  std::u16string value;
  for (size_t i = position + 1; i < text.size(); ++i) {
    if (text[i] != close) {
      value += text[i];
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == close) {
      value += close;
      ++i;
      continue;
    }
    position = i + 1;
    return value;
  }
  return std::nullopt;
}

// Reads the value after '=' up to the next ';' (or the end); moves `position` past the ';'.
Result<std::u16string> ReadValue(std::u16string_view text, size_t& position) {
  while (position < text.size() && (text[position] == u' ' || text[position] == u'\t')) ++position;
  if (position < text.size() &&
      (text[position] == u'"' || text[position] == u'\'' || text[position] == u'{')) {
    char16_t close = text[position] == u'{' ? u'}' : text[position];
    std::optional<std::u16string> value = ReadQuoted(text, position, close);
    if (!value) return BadString();
    size_t end = text.find(u';', position);
    if (!Trim(text.substr(position, end == std::u16string_view::npos ? text.npos : end - position)).empty()) {
      return BadString();  // text after the closing quote
    }
    position = end == std::u16string_view::npos ? text.size() : end + 1;
    return std::move(*value);
  }
  size_t end = text.find(u';', position);
  if (end == std::u16string_view::npos) end = text.size();
  std::u16string value(Trim(text.substr(position, end - position)));
  position = std::min(text.size(), end + 1);
  return value;
}

bool NamesFile(std::u16string_view text) {
  if (text.find_first_of(u"/\\") != std::u16string_view::npos) return true;
  std::u16string upper = ToUpper(text);
  return std::any_of(std::begin(kSqliteFileEndings), std::end(kSqliteFileEndings),
                     [&](std::u16string_view ending) { return upper.ends_with(ToUpper(ending)); });
}

// The provider name without a ".n" version suffix ("MSDASQL.1").
std::u16string_view ProviderBaseName(std::u16string_view provider) {
  size_t dot = provider.rfind(u'.');
  if (dot == std::u16string_view::npos || dot + 1 == provider.size()) return provider;
  std::u16string_view suffix = provider.substr(dot + 1);
  bool digits = std::all_of(suffix.begin(), suffix.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
  return digits ? provider.substr(0, dot) : provider;
}

Result<ProviderKind> ProviderKindOf(std::u16string_view provider) {
  std::u16string_view base = Trim(ProviderBaseName(Trim(provider)));
  if (base.empty()) return ProviderKind::Odbc;
  for (const ProviderName& entry : kProviders) {
    if (SameKey(entry.name, base)) return entry.kind;
  }
  return MakeAdoError(AdoError::ProviderNotFound, u"ADODB.Connection");
}

const ConnectionProperty* FindProperty(const std::vector<ConnectionProperty>& properties,
                                       std::u16string_view key) {
  // The last of a repeated key wins, as in ADO.
  const ConnectionProperty* found = nullptr;
  for (const ConnectionProperty& property : properties) {
    if (SameKey(property.key, key)) found = &property;
  }
  return found;
}

std::span<const KeyMapping> KeyMappingsOf(ProviderKind kind) {
  switch (kind) {
    case ProviderKind::Sqlite: return kSqliteKeys;
    case ProviderKind::Postgres: return kPostgresKeys;
    case ProviderKind::Odbc: return kOdbcKeys;
  }
  return {};
}

// The ODBC keyword of an ADO key: renamed, dropped (empty) or as written.
std::u16string_view OdbcKeyOf(ProviderKind kind, std::u16string_view key) {
  for (std::u16string_view ado_only : kAdoOnlyKeys) {
    if (SameKey(ado_only, key)) return {};
  }
  for (const KeyMapping& mapping : KeyMappingsOf(kind)) {
    if (SameKey(mapping.ado_key, key)) return mapping.odbc_key;
  }
  return key;
}

std::optional<int32_t> IntegerValue(std::u16string_view text) {
  Result<int32_t> value = ToInt32(Variant::FromString(text));
  if (!value.ok()) return std::nullopt;
  return value.value();
}

bool IsPooled(const std::vector<ConnectionProperty>& properties) {
  const ConnectionProperty* services = FindProperty(properties, u"OLE DB Services");
  if (services == nullptr) return true;
  std::optional<int32_t> value = IntegerValue(services->value);
  return !value || (*value & 1) != 0;
}

std::optional<int32_t> LoginTimeout(const std::vector<ConnectionProperty>& properties) {
  const ConnectionProperty* timeout = FindProperty(properties, u"Connect Timeout");
  if (timeout == nullptr) return std::nullopt;
  std::optional<int32_t> value = IntegerValue(timeout->value);
  if (!value || *value < 0 || *value > 3600) return std::nullopt;
  return value;
}

}  // namespace

Result<std::vector<ConnectionProperty>> ParseConnectionString(std::u16string_view text) {
  if (text.size() > kMaxConnectionStringLength) return BadString();
  std::vector<ConnectionProperty> properties;
  if (text.find(u'=') == std::u16string_view::npos) {
    std::u16string_view source = Trim(text);
    if (!source.empty()) properties.push_back({u"Data Source", std::u16string(source)});
    return properties;
  }
  size_t position = 0;
  while (position < text.size()) {
    size_t equals = text.find(u'=', position);
    size_t semicolon = text.find(u';', position);
    if (semicolon < equals) {  // a piece without '='
      if (!Trim(text.substr(position, semicolon - position)).empty()) return BadString();
      position = semicolon + 1;
      continue;
    }
    if (equals == std::u16string_view::npos) {
      if (!Trim(text.substr(position)).empty()) return BadString();
      break;
    }
    std::u16string_view key = Trim(text.substr(position, equals - position));
    if (key.empty() || std::any_of(key.begin(), key.end(), IsForbiddenKeyCharacter)) return BadString();
    position = equals + 1;
    std::u16string value = TRY(ReadValue(text, position));
    properties.push_back({std::u16string(key), std::move(value)});
  }
  return properties;
}

void AppendOdbcPair(std::u16string& target, std::u16string_view key, std::u16string_view value) {
  if (!target.empty()) target += u';';
  target += key;
  target += u'=';
  // Braced unless plain: no ';', '{', '}' or '=', no blank at either end, and no quote first
  // (a reader of the string may take one as the start of a quoted value).
  bool plain = !value.empty() && value.find_first_of(u";{}=") == std::u16string_view::npos &&
               Trim(value).size() == value.size() && value.front() != u'"' && value.front() != u'\'';
  if (plain) {
    target += value;
    return;
  }
  target += u'{';
  for (char16_t c : value) {
    target += c;
    if (c == u'}') target += u'}';
  }
  target += u'}';
}

Result<OdbcTarget> MapConnectionString(std::u16string_view text, std::u16string_view provider,
                                       std::u16string_view user, std::u16string_view password) {
  std::vector<ConnectionProperty> properties = TRY(ParseConnectionString(text));
  const ConnectionProperty* named_provider = FindProperty(properties, u"Provider");
  ProviderKind kind = TRY(ProviderKindOf(named_provider ? named_provider->value : provider));
  const ConnectionProperty* source = FindProperty(properties, u"Data Source");
  bool has_driver = FindProperty(properties, u"Driver") != nullptr ||
                    FindProperty(properties, u"DSN") != nullptr;
  if (kind == ProviderKind::Odbc && !has_driver && source != nullptr && NamesFile(source->value)) {
    kind = ProviderKind::Sqlite;
  }

  OdbcTarget target;
  target.pooled = IsPooled(properties);
  target.login_timeout = LoginTimeout(properties);
  if (kind == ProviderKind::Sqlite) AppendOdbcPair(target.connection_string, u"Driver", kSqliteDriver);
  if (kind == ProviderKind::Postgres) {
    AppendOdbcPair(target.connection_string, u"Driver", kPostgresDriver);
    // Booleans as bits (Booleans to scripts), not as the driver's default characters.
    AppendOdbcPair(target.connection_string, u"BoolsAsChar", u"0");
  }
  for (const ConnectionProperty& property : properties) {
    std::u16string_view key = OdbcKeyOf(kind, property.key);
    if (key.empty()) continue;
    bool database_file = kind == ProviderKind::Sqlite && SameKey(key, u"Database");
    AppendOdbcPair(target.connection_string, key,
                   database_file ? NormalizeSeparators(property.value) : property.value);
  }
  if (kind == ProviderKind::Odbc) {
    if (const ConnectionProperty* extended = FindProperty(properties, u"Extended Properties")) {
      for (const ConnectionProperty& pair : TRY(ParseConnectionString(extended->value))) {
        AppendOdbcPair(target.connection_string, SameKey(pair.key, u"Data Source") ? u"DSN" : std::u16string_view(pair.key), pair.value);
      }
    }
  }
  if (!user.empty()) AppendOdbcPair(target.connection_string, u"UID", user);
  if (!password.empty()) AppendOdbcPair(target.connection_string, u"PWD", password);
  if (target.connection_string.size() > kMaxConnectionStringLength) return BadString();
  return target;
}

#include "platform/ado/command_text.h"

#include <algorithm>

#include "platform/automation/text_case.h"

namespace {

constexpr int32_t kCommandTypeMask = 0x7F | adCmdFile | adCmdTableDirect;

std::u16string_view Trim(std::u16string_view text) {
  size_t first = text.find_first_not_of(u" \t\r\n");
  if (first == std::u16string_view::npos) return {};
  size_t last = text.find_last_not_of(u" \t\r\n;");
  return text.substr(first, last - first + 1);
}

bool IsNameCharacter(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
         c == u'_' || c == u'.' || c == u'"';
}

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

// A table name: letters, digits, '_' and '.', or one double-quoted name.
bool IsTableName(std::u16string_view name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), IsNameCharacter) &&
         std::count(name.begin(), name.end(), u'"') % 2 == 0;
}

// The words that may follow the table of a simple SELECT.
bool IsClauseAfterTable(std::u16string_view upper_rest) {
  constexpr std::u16string_view kClauses[] = {u"WHERE", u"ORDER", u"GROUP", u"LIMIT", u"HAVING"};
  if (upper_rest.empty()) return true;
  return std::any_of(std::begin(kClauses), std::end(kClauses), [&](std::u16string_view clause) {
    return upper_rest.starts_with(clause) &&
           (upper_rest.size() == clause.size() || IsSpace(upper_rest[clause.size()]));
  });
}

}  // namespace

std::u16string CommandSql(std::u16string_view text, int32_t options, size_t parameter_count) {
  int32_t type = options < 0 ? adCmdText : (options & kCommandTypeMask);
  if (type == adCmdTable || type == adCmdTableDirect) {
    return u"SELECT * FROM " + std::u16string(Trim(text));
  }
  if (type == adCmdStoredProc) {
    std::u16string call = u"{call " + std::u16string(Trim(text));
    if (parameter_count > 0) {
      call += u'(';
      for (size_t i = 0; i < parameter_count; ++i) call += i == 0 ? u"?" : u", ?";
      call += u')';
    }
    return call + u"}";
  }
  return std::u16string(text);
}

std::u16string SingleSourceTable(std::u16string_view sql, int32_t options) {
  int32_t type = options < 0 ? adCmdText : (options & kCommandTypeMask);
  std::u16string_view text = Trim(sql);
  if (type == adCmdTable || type == adCmdTableDirect) {
    return IsTableName(text) ? std::u16string(text) : std::u16string();
  }
  std::u16string upper = ToUpper(text);
  if (!upper.starts_with(u"SELECT") || upper.find(u" JOIN ") != std::u16string::npos) return {};
  size_t from = upper.find(u" FROM ");
  // A second FROM (a sub-query) or a parenthesis before it: not a simple source.
  if (from == std::u16string::npos || upper.find(u" FROM ", from + 1) != std::u16string::npos ||
      upper.find(u'(', 0) < from) {
    return {};
  }
  size_t start = from + 6;
  while (start < text.size() && IsSpace(text[start])) ++start;
  size_t end = start;
  while (end < text.size() && IsNameCharacter(text[end])) ++end;
  std::u16string_view name = text.substr(start, end - start);
  std::u16string_view rest = Trim(std::u16string_view(upper).substr(end));
  if (!IsTableName(name) || !IsClauseAfterTable(rest)) return {};
  return std::u16string(name);
}

Result<std::unique_ptr<OdbcStatement>> ExecuteCommand(std::shared_ptr<OdbcConnection> connection,
                                                      std::u16string_view text, int32_t options,
                                                      const BoundParameters& parameters,
                                                      int32_t timeout_seconds) {
  if (Trim(text).empty()) {
    return Error::FromHresult(kDbNoCommand, u"Command text was not set for the command object.",
                              std::u16string(kProviderSource));
  }
  std::unique_ptr<OdbcStatement> statement = TRY(OdbcStatement::Create(std::move(connection)));
  statement->SetTimeout(timeout_seconds);
  TRY(statement->Prepare(CommandSql(text, options, parameters.values.size())));
  TRY(statement->BindParameters(parameters.values, parameters.types, parameters.sizes));
  TRY(statement->Execute());
  return statement;
}

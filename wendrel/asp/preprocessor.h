#pragma once
// The ASP page preprocessor: turns the text of a page (with global.asa in front of it and its
// #include files spliced in) into the script programs that run it. Literal HTML is not copied
// into a script: it becomes a Response.WritePart call over a byte range of the expanded page
// text, which the Response keeps. <% code %> is copied, <%= expression %> wrapped in a write
// call, <%@ ... %> directives, server SCRIPT and OBJECT elements, #include and METADATA
// comments are executed here.
//
// Pure code: files come from the PreprocessorSite, nothing else is touched. The page text is
// hostile: every construct has a named limit, no input is scanned more than a constant number
// of times, and a construct left open fails the page rather than running on.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "platform/automation/ole_interfaces.h"
#include "platform/automation/result.h"

/// Directive, tag, #include and METADATA texts are read up to this many bytes; the rest of
/// them is ignored.
inline constexpr size_t kMaxDirectiveBytes = 1023;
/// A <%= expression %> is cut to this many bytes.
inline constexpr size_t kMaxExpressionBytes = 960;
/// How deep #include files may nest (the page is depth 0, a file it includes depth 1).
inline constexpr size_t kDefaultMaxIncludeDepth = 16;
/// How large the expanded page text (global.asa, page and every include) may grow.
inline constexpr size_t kDefaultMaxExpandedBytes = size_t{16} << 20;
/// WritePart offsets are 32-bit numbers: no larger limit is honoured.
inline constexpr size_t kMaxPageTextBytes = 0x7FFFFFFF;

/// The failure codes of the ASP error page that the preprocessor reports.
inline constexpr int kAspParseError = 2005;          // a construct or an include failed
inline constexpr int kAspLanguageAlreadySet = 2009;  // a second, different @Language
inline constexpr int kAspInvalidMetadata = 2018;     // a METADATA comment the page cannot use

enum class IncludeForm { File, Virtual };

/// One #include the page asks for.
struct IncludeRequest {
  IncludeForm form;
  std::string name;       // the file or virtual name as written (quotes and white space removed)
  std::string directory;  // the directory of the file that holds the #include (for File form)
  size_t max_bytes;       // the most bytes the file may hold; a longer one fails the page
};

/// A file read for an #include (or global.asa).
struct IncludedFile {
  std::string path;  // the resolved full path: the file's identity for cycles and the line map
  std::string text;
};

/// What the preprocessor asks of its host.
class PreprocessorSite {
 public:
  /// Resolves an #include (containment in the site, case-insensitive fallback, virtual path
  /// mapping) and reads it. A failure (not found, outside the root, too large) fails the page;
  /// its description becomes part of the failure's detail.
  virtual Result<IncludedFile> ReadInclude(const IncludeRequest& request) = 0;
  /// A line for the server log ("INCLUDE FILE in ASP page=...").
  virtual void Log(std::string_view line) = 0;

 protected:
  ~PreprocessorSite() = default;
};

struct PreprocessOptions {
  std::string default_language;  // the server's ScriptLanguage; "" is VBScript
  std::string page_path;         // the page's full path (files[0])
  std::string page_directory;    // the page's directory; "" takes it from page_path
  std::optional<IncludedFile> prefix;  // global.asa, placed in front of the page
  size_t max_include_depth = kDefaultMaxIncludeDepth;
  size_t max_expanded_bytes = kDefaultMaxExpandedBytes;  // capped at kMaxPageTextBytes
};

/// A place in the original files: an index into PreprocessedPage::files and a 1-based line.
struct SourceLine {
  uint32_t file = 0;
  uint32_t line = 0;
  friend bool operator==(const SourceLine&, const SourceLine&) = default;
};

/// One script program. Lines end with CR LF, CR or LF (as the script engines count them).
struct ScriptPart {
  std::string language;  // normalised: "JavaScript" is "JScript"; never empty
  std::string script;
  /// The origin of each script line (index 0 is line 1), plus one entry for the empty line
  /// after a final line break: a WritePart or Write line maps to where its construct starts,
  /// copied code line by line to its own line.
  std::vector<SourceLine> line_map;
};

/// A type library a METADATA comment names: by identifier or by file (loaded by the host).
struct TypeLibraryReference {
  std::optional<GUID> guid;  // UUID=, braces added when missing
  std::string file;          // FILE= as written, when given (then guid is empty)
  int major = -1;            // VERSION="major.minor"; -1 when absent
  int minor = -1;
  SourceLine where;
};

/// A server OBJECT tag (RUNAT=Server): values as written, quotes and white space removed.
struct ServerObjectTag {
  std::string scope;     // "Session" selects the session's StaticObjects, anything else the
                         // application's
  std::string id;
  std::string prog_id;   // PROGID=, empty when absent
  std::string class_id;  // CLASSID=, empty when absent
  SourceLine where;
};

struct PreprocessedPage {
  /// The page language: <% %>, <%= %>, literal ranges and SCRIPT blocks in that language.
  ScriptPart primary;
  /// SCRIPT blocks in other languages: one part per language, in the order the languages
  /// first appear, blocks in page order.
  std::vector<ScriptPart> others;
  /// The expanded text WritePart offsets refer to: global.asa, then the page with the text of
  /// each #include following its comment.
  std::string page_text;
  std::optional<int> code_page;  // @CODEPAGE, the last one given
  std::optional<int> lcid;       // @LCID, the last one given
  std::vector<TypeLibraryReference> type_libraries;
  std::vector<ServerObjectTag> objects;
  /// [0] the page, [1] global.asa when given, then each included file once, in order.
  std::vector<std::string> files;
};

/// A file and line for failure reports.
struct SourcePlace {
  std::string file;
  uint32_t line = 0;
  friend bool operator==(const SourcePlace&, const SourcePlace&) = default;
};

struct PreprocessFailure {
  int asp_code = kAspParseError;
  std::string detail;  // what failed, with the name involved
  /// The failing construct first, then each #include that led to it, outwards.
  std::vector<SourcePlace> where;
};

/// A value or a PreprocessFailure; TRY(...) propagates the failure.
template <class T>
class [[nodiscard]] PreprocessOutcome {
 public:
  PreprocessOutcome(T value) : state_(std::in_place_index<0>, std::move(value)) {}  // NOLINT
  PreprocessOutcome(PreprocessFailure failure)  // NOLINT
      : state_(std::in_place_index<1>, std::move(failure)) {}

  bool ok() const { return state_.index() == 0; }
  T& value() & { return std::get<0>(state_); }
  const T& value() const& { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  const PreprocessFailure& error() const& { return std::get<1>(state_); }
  PreprocessFailure&& error() && { return std::get<1>(std::move(state_)); }

 private:
  std::variant<T, PreprocessFailure> state_;
};

template <>
class [[nodiscard]] PreprocessOutcome<void> {
 public:
  PreprocessOutcome() = default;
  PreprocessOutcome(PreprocessFailure failure) : failure_(std::move(failure)) {}  // NOLINT

  bool ok() const { return !failure_.has_value(); }
  void value() const {}
  const PreprocessFailure& error() const& { return *failure_; }
  PreprocessFailure&& error() && { return std::move(*failure_); }

 private:
  std::optional<PreprocessFailure> failure_;
};

/// Preprocesses one page. Fails with kAspParseError for a construct left open (<% without %>,
/// a server SCRIPT or OBJECT element without its end tag, an #include or METADATA comment
/// without -->), a bad @CODEPAGE or @LCID number, an #include without a name, one the site
/// cannot read, one that includes itself (directly or in a cycle), nests deeper than
/// max_include_depth or grows the expanded text past max_expanded_bytes; with
/// kAspLanguageAlreadySet for a second @Language that differs from the first; with
/// kAspInvalidMetadata for a METADATA comment that is not TYPE=TypeLib, lacks FILE and UUID,
/// or has a bad UUID or VERSION.
PreprocessOutcome<PreprocessedPage> PreprocessPage(std::string_view page_text,
                                                   const PreprocessOptions& options,
                                                   PreprocessorSite& site);

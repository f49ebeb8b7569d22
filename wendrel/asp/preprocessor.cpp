#include "wendrel/asp/preprocessor.h"

#include <algorithm>
#include <unordered_map>

#include "platform/system/code_page.h"
#include "wendrel/asp/metadata_comment.h"
#include "wendrel/asp/page_directive.h"
#include "wendrel/asp/preprocessor_texts.h"
#include "wendrel/asp/script_language.h"
#include "wendrel/asp/script_line_map.h"
#include "wendrel/asp/tag_attributes.h"
#include "wendrel/common/byte_string.h"
#include "wendrel/common/narrow_text.h"

namespace {

constexpr std::string_view kScriptBlockClose = "%>";
constexpr std::string_view kCommentClose = "-->";
constexpr std::string_view kCodeLineEnd = "\r\n";
constexpr std::string_view kScriptElement = "script";
constexpr std::string_view kObjectElement = "object";
constexpr std::string_view kIncludeKeyword = "#include";
constexpr std::string_view kMetadataKeyword = "METADATA";
constexpr std::string_view kLanguageName = "LANGUAGE";
constexpr std::string_view kScopeName = "SCOPE";
constexpr std::string_view kIdName = "ID";
constexpr std::string_view kProgIdName = "PROGID";
constexpr std::string_view kClassIdName = "CLASSID";

enum class ConstructKind {
  None, Code, Expression, Directive, ScriptTag, ObjectTag, Include, Metadata
};

// A construct's opening text, found at a '<'.
struct Opener {
  ConstructKind kind = ConstructKind::None;
  size_t end = 0;  // the offset just after the opener
};

bool StartsWithAt(std::string_view text, size_t at, std::string_view word) {
  return at <= text.size() && StartsWithIgnoringCase(text.substr(at), word);
}

// element-open -> '<' name ( space | '>' ): "<scripts" is no SCRIPT tag.
bool ElementOpensAt(std::string_view text, size_t at, std::string_view name) {
  if (!StartsWithAt(text, at + 1, name)) return false;
  size_t next = at + 1 + name.size();
  return next < text.size() && (IsTextSpace(text[next]) || text[next] == '>');
}

// comment-keyword -> "<!--" { space } keyword ( space | '-' )
size_t CommentKeywordEnd(std::string_view text, size_t at, std::string_view keyword) {
  size_t position = at + 4;
  while (position < text.size() && IsTextSpace(text[position])) ++position;
  if (!StartsWithAt(text, position, keyword)) return 0;
  size_t end = position + keyword.size();
  if (end < text.size() && !IsTextSpace(text[end]) && text[end] != '-') return 0;
  return end;
}

// opener -> "<%@" | "<%=" | "<%" | "<script" | "<object" | "<!--#include" | "<!--METADATA"
Opener OpenerAt(std::string_view text, size_t at) {
  std::string_view rest = text.substr(at);
  if (rest.size() >= 2 && rest[1] == '%') {
    if (rest.size() >= 3 && rest[2] == '@') return {ConstructKind::Directive, at + 3};
    if (rest.size() >= 3 && rest[2] == '=') return {ConstructKind::Expression, at + 3};
    return {ConstructKind::Code, at + 2};
  }
  if (rest.starts_with("<!--")) {
    if (size_t end = CommentKeywordEnd(text, at, kIncludeKeyword)) {
      return {ConstructKind::Include, end};
    }
    if (size_t end = CommentKeywordEnd(text, at, kMetadataKeyword)) {
      return {ConstructKind::Metadata, end};
    }
    return {};
  }
  if (ElementOpensAt(text, at, kScriptElement)) {
    return {ConstructKind::ScriptTag, at + 1 + kScriptElement.size()};
  }
  if (ElementOpensAt(text, at, kObjectElement)) {
    return {ConstructKind::ObjectTag, at + 1 + kObjectElement.size()};
  }
  return {};
}

// An open tag's attributes, up to its '>'. A '<' met first (an expression in an attribute,
// the next tag) ends the attempt: the tag is literal text and scanning resumes at the '<', so
// no byte is scanned twice for the same tag.
struct OpenTag {
  bool complete = false;
  std::string_view attributes;  // cut to kMaxDirectiveBytes
  size_t resume = 0;            // after the '>', or where the attempt stopped
};

OpenTag ReadOpenTag(std::string_view text, size_t from) {
  size_t stop = text.find_first_of("<>", from);
  if (stop == std::string_view::npos) return {false, {}, text.size()};
  if (text[stop] == '<') return {false, {}, stop};
  return {true, text.substr(from, std::min(stop - from, kMaxDirectiveBytes)), stop + 1};
}

// The text of a directive or comment between its opener and its closer, as far as it is read.
std::string_view DirectiveText(std::string_view text, size_t from, size_t close) {
  return text.substr(from, std::min(close - from, kMaxDirectiveBytes));
}

// A close tag "</name" { space } ">" at or after `from`, any letter case.
struct CloseTag {
  size_t start = std::string_view::npos;
  size_t end = std::string_view::npos;
};

CloseTag FindCloseTag(std::string_view text, size_t from, std::string_view name) {
  while (true) {
    size_t start = text.find("</", from);
    if (start == std::string_view::npos) return {};
    from = start + 2;
    if (!StartsWithAt(text, from, name)) continue;
    size_t position = from + name.size();
    while (position < text.size() && IsTextSpace(text[position])) ++position;
    if (position < text.size() && text[position] == '>') return {start, position + 1};
  }
}

// What one literal run or construct gives the scripts, in page order. The scripts are written
// after the whole page is read, in the language the page chose wherever it chose it.
enum class ItemKind { Literal, Expression, Code, ScriptBlock };

struct PageItem {
  ItemKind kind;
  uint32_t language;  // ScriptBlock: index into the languages met (0: none given)
  size_t begin;       // a range of the expanded page text
  size_t end;
  SourceLine origin;  // where the construct (or the copied text) starts
};

// The script text of one item: a literal range or an expression in the templates' language,
// code and SCRIPT content as they stand, each followed by its line end.
void WriteItem(ScriptBuilder& builder, const PageItem& item, std::string_view page_text,
               const WriteTemplates& templates) {
  std::string_view text = page_text.substr(item.begin, item.end - item.begin);
  builder.SetOrigin(item.origin);
  switch (item.kind) {
    case ItemKind::Literal:
      builder.AppendGenerated(templates.part_open);
      builder.AppendNumber(item.begin);
      builder.AppendGenerated(templates.part_separator);
      builder.AppendNumber(item.end);
      builder.AppendGenerated(templates.part_close);
      return;
    case ItemKind::Expression:
      builder.AppendGenerated(templates.write_open);
      builder.AppendSource(text);
      builder.AppendGenerated(templates.write_close);
      return;
    case ItemKind::Code:
    case ItemKind::ScriptBlock:
      builder.AppendSource(text);
      builder.AppendGenerated(kCodeLineEnd);
      return;
  }
}

// A file being scanned: the page, global.asa or an include.
struct OpenFile {
  OpenFile(std::string_view text, uint32_t file, std::string directory)
      : text(text), file(file), directory(std::move(directory)), lines(text) {}

  std::string_view text;
  uint32_t file;          // index into the files list
  std::string directory;  // where its File-form includes are found
  SourceLineCounter lines;
  size_t copied = 0;                       // bytes of text already in the expanded page text
  std::optional<SourceLine> included_at;   // the #include that opened it
};

// Keeps a file on the chain of open files while it is scanned.
class OpenFileScope {
 public:
  OpenFileScope(std::vector<OpenFile*>& chain, OpenFile& file) : chain_(chain) {
    chain_.push_back(&file);
  }
  ~OpenFileScope() { chain_.pop_back(); }
  OpenFileScope(const OpenFileScope&) = delete;
  OpenFileScope& operator=(const OpenFileScope&) = delete;

 private:
  std::vector<OpenFile*>& chain_;
};

class Preprocessor {
 public:
  Preprocessor(const PreprocessOptions& options, PreprocessorSite& site)
      : options_(options),
        site_(site),
        max_expanded_bytes_(std::min(options.max_expanded_bytes, kMaxPageTextBytes)) {}

  PreprocessOutcome<PreprocessedPage> Run(std::string_view page_text);

 private:
  PreprocessFailure Fail(OpenFile& file, size_t offset, int asp_code, std::string detail);
  SourceLine Origin(OpenFile& file, size_t offset) {
    return {file.file, file.lines.LineAt(offset)};
  }
  uint32_t FileIndex(const std::string& path);
  // The expanded-text offset of a byte of `file` not yet copied into it.
  size_t PageOffset(const OpenFile& file, size_t offset) const {
    return page_text_.size() - file.copied + offset;
  }
  void CopyPageText(OpenFile& file, size_t up_to);
  void AddItem(OpenFile& file, ItemKind kind, size_t begin, size_t end, SourceLine origin,
               uint32_t language = 0);

  PreprocessOutcome<void> ScanWholeFile(OpenFile& file);
  PreprocessOutcome<void> ScanFile(OpenFile& file);
  void EmitLiteral(OpenFile& file, size_t begin, size_t end);
  PreprocessOutcome<size_t> ScanConstruct(OpenFile& file, Opener opener, size_t start);
  PreprocessOutcome<size_t> ScanScriptBlock(OpenFile& file, Opener opener, size_t start);
  PreprocessOutcome<void> ApplyDirective(OpenFile& file, std::string_view text, size_t start);
  PreprocessOutcome<size_t> ScanServerScript(OpenFile& file, const OpenTag& tag, size_t start);
  PreprocessOutcome<size_t> ScanServerObject(OpenFile& file, const OpenTag& tag, size_t start);
  PreprocessOutcome<size_t> ScanInclude(OpenFile& file, Opener opener, size_t start);
  PreprocessOutcome<void> IncludeFile(OpenFile& file, const IncludeDirective& directive,
                                      size_t start, size_t end);
  PreprocessOutcome<size_t> ScanMetadata(OpenFile& file, Opener opener, size_t start);
  uint32_t LanguageSlot(std::string language);
  std::string PageLanguage() const;
  PreprocessedPage Render();

  const PreprocessOptions& options_;
  PreprocessorSite& site_;
  size_t max_expanded_bytes_;
  size_t planned_bytes_ = 0;  // the expanded text's size once every file read is copied
  std::string page_text_;
  std::vector<OpenFile*> open_files_;  // the include chain, outermost first
  std::vector<std::string> files_;
  std::unordered_map<std::string, uint32_t> file_indexes_;
  std::vector<PageItem> items_;
  std::vector<std::string> languages_{std::string()};
  std::unordered_map<std::string, uint32_t> language_slots_;  // by upper-cased name
  std::optional<std::string> page_language_;                  // from @LANGUAGE
  SourceLine page_end_;
  PreprocessedPage page_;
};

// The failure at `offset` of `file`, with the #include chain that led there.
PreprocessFailure Preprocessor::Fail(OpenFile& file, size_t offset, int asp_code,
                                     std::string detail) {
  PreprocessFailure failure{asp_code, std::move(detail), {}};
  failure.where.push_back({files_[file.file], file.lines.LineAt(offset)});
  for (auto it = open_files_.rbegin(); it != open_files_.rend(); ++it) {
    if (!(*it)->included_at) break;
    SourceLine at = *(*it)->included_at;
    failure.where.push_back({files_[at.file], at.line});
  }
  return failure;
}

uint32_t Preprocessor::FileIndex(const std::string& path) {
  auto [it, inserted] = file_indexes_.try_emplace(path, static_cast<uint32_t>(files_.size()));
  if (inserted) files_.push_back(path);
  return it->second;
}

void Preprocessor::CopyPageText(OpenFile& file, size_t up_to) {
  page_text_.append(file.text.substr(file.copied, up_to - file.copied));
  file.copied = up_to;
}

void Preprocessor::AddItem(OpenFile& file, ItemKind kind, size_t begin, size_t end,
                           SourceLine origin, uint32_t language) {
  items_.push_back({kind, language, PageOffset(file, begin), PageOffset(file, end), origin});
}

// page -> [ global.asa ] file
PreprocessOutcome<PreprocessedPage> Preprocessor::Run(std::string_view page_text) {
  FileIndex(options_.page_path);
  OpenFile page(page_text, 0,
                options_.page_directory.empty() ? DirectoryOf(options_.page_path)
                                                : options_.page_directory);
  planned_bytes_ = page_text.size() + (options_.prefix ? options_.prefix->text.size() : 0);
  if (planned_bytes_ > max_expanded_bytes_) {
    return Fail(page, 0, kAspParseError,
                std::string(kPageTooLarge) + std::to_string(max_expanded_bytes_));
  }
  if (options_.prefix) {
    OpenFile prefix(options_.prefix->text, FileIndex(options_.prefix->path),
                    DirectoryOf(options_.prefix->path));
    TRY(ScanWholeFile(prefix));
  }
  TRY(ScanWholeFile(page));
  page_end_ = Origin(page, page_text.size());
  return Render();
}

// Scans a whole file as the innermost of the open files and copies the rest of its text.
PreprocessOutcome<void> Preprocessor::ScanWholeFile(OpenFile& file) {
  OpenFileScope scope(open_files_, file);
  TRY(ScanFile(file));
  CopyPageText(file, file.text.size());
  return {};
}

// file -> { literal | construct } end-of-file
// A literal run ends where a construct starts; constructs never span files.
PreprocessOutcome<void> Preprocessor::ScanFile(OpenFile& file) {
  std::string_view text = file.text;
  size_t run_start = 0;
  size_t position = 0;
  while (true) {
    size_t start = text.find('<', position);
    if (start == std::string_view::npos) break;
    Opener opener = OpenerAt(text, start);
    if (opener.kind == ConstructKind::None) {
      position = start + 1;
      continue;
    }
    if (opener.kind == ConstructKind::ScriptTag || opener.kind == ConstructKind::ObjectTag) {
      OpenTag tag = ReadOpenTag(text, opener.end);
      if (!tag.complete || !IsServerTag(tag.attributes)) {
        position = tag.resume;  // a client tag: literal text
        continue;
      }
      EmitLiteral(file, run_start, start);
      position = opener.kind == ConstructKind::ScriptTag ? TRY(ScanServerScript(file, tag, start))
                                                         : TRY(ScanServerObject(file, tag, start));
    } else {
      EmitLiteral(file, run_start, start);
      position = TRY(ScanConstruct(file, opener, start));
    }
    run_start = position;
  }
  EmitLiteral(file, run_start, text.size());
  return {};
}

// literal -> { byte } up to a construct; empty or white-space-only runs write nothing
void Preprocessor::EmitLiteral(OpenFile& file, size_t begin, size_t end) {
  if (IsSpaceOnly(file.text.substr(begin, end - begin))) return;
  AddItem(file, ItemKind::Literal, begin, end, Origin(file, begin));
}

PreprocessOutcome<size_t> Preprocessor::ScanConstruct(OpenFile& file, Opener opener,
                                                      size_t start) {
  switch (opener.kind) {
    case ConstructKind::Include: return ScanInclude(file, opener, start);
    case ConstructKind::Metadata: return ScanMetadata(file, opener, start);
    default: return ScanScriptBlock(file, opener, start);
  }
}

// code -> "<%" text "%>"      expression -> "<%=" text "%>"      directive -> "<%@" text "%>"
PreprocessOutcome<size_t> Preprocessor::ScanScriptBlock(OpenFile& file, Opener opener,
                                                        size_t start) {
  size_t close = file.text.find(kScriptBlockClose, opener.end);
  if (close == std::string_view::npos) {
    return Fail(file, start, kAspParseError, std::string(kUnclosedScriptBlock));
  }
  SourceLine origin = Origin(file, start);
  switch (opener.kind) {
    case ConstructKind::Code: AddItem(file, ItemKind::Code, opener.end, close, origin); break;
    case ConstructKind::Expression:
      AddItem(file, ItemKind::Expression, opener.end,
              std::min(close, opener.end + kMaxExpressionBytes), origin);
      break;
    default:
      TRY(ApplyDirective(file, DirectiveText(file.text, opener.end, close), start));
  }
  return close + kScriptBlockClose.size();
}

// The first @LANGUAGE sets the page language wherever it stands; a later one must agree.
PreprocessOutcome<void> Preprocessor::ApplyDirective(OpenFile& file, std::string_view text,
                                                     size_t start) {
  PreprocessOutcome<PageDirective> parsed = ParsePageDirective(text);
  if (!parsed.ok()) return Fail(file, start, parsed.error().asp_code, parsed.error().detail);
  PageDirective& directive = parsed.value();
  if (directive.language) {
    if (page_language_ && !SameLanguage(*page_language_, *directive.language)) {
      return Fail(file, start, kAspLanguageAlreadySet,
                  std::string(kLanguageAlreadySet) + *page_language_ + ": " + *directive.language);
    }
    if (!page_language_) page_language_ = std::move(directive.language);
  }
  if (directive.code_page) page_.code_page = directive.code_page;
  if (directive.lcid) page_.lcid = directive.lcid;
  return {};
}

// server-script -> "<script" attributes ">" text "</script" { space } ">"
// with RUNAT=Server among the attributes; LANGUAGE, when given, chooses the script part.
PreprocessOutcome<size_t> Preprocessor::ScanServerScript(OpenFile& file, const OpenTag& tag,
                                                         size_t start) {
  CloseTag close = FindCloseTag(file.text, tag.resume, kScriptElement);
  if (close.start == std::string_view::npos) {
    return Fail(file, start, kAspParseError, std::string(kUnclosedServerScript));
  }
  std::optional<std::string_view> language = FindTagAttribute(tag.attributes, kLanguageName);
  uint32_t slot = language ? LanguageSlot(NormalisedLanguageName(*language)) : 0;
  AddItem(file, ItemKind::ScriptBlock, tag.resume, close.start, Origin(file, tag.resume), slot);
  return close.end;
}

// server-object -> "<object" attributes ">" text "</object" { space } ">"
// with RUNAT=Server among the attributes; the content is skipped.
PreprocessOutcome<size_t> Preprocessor::ScanServerObject(OpenFile& file, const OpenTag& tag,
                                                         size_t start) {
  CloseTag close = FindCloseTag(file.text, tag.resume, kObjectElement);
  if (close.start == std::string_view::npos) {
    return Fail(file, start, kAspParseError, std::string(kUnclosedServerObject));
  }
  ServerObjectTag object;
  object.scope = FindTagAttribute(tag.attributes, kScopeName).value_or("");
  object.id = FindTagAttribute(tag.attributes, kIdName).value_or("");
  object.prog_id = FindTagAttribute(tag.attributes, kProgIdName).value_or("");
  object.class_id = FindTagAttribute(tag.attributes, kClassIdName).value_or("");
  object.where = Origin(file, start);
  page_.objects.push_back(std::move(object));
  return close.end;
}

// include -> "<!--" { space } "#include" attributes "-->"
PreprocessOutcome<size_t> Preprocessor::ScanInclude(OpenFile& file, Opener opener, size_t start) {
  size_t close = file.text.find(kCommentClose, opener.end);
  if (close == std::string_view::npos) {
    return Fail(file, start, kAspParseError, std::string(kUnclosedIncludeComment));
  }
  std::optional<IncludeDirective> directive =
      ParseIncludeComment(DirectiveText(file.text, opener.end, close));
  if (!directive) {
    site_.Log(kIncludeWithoutNameLog);
    return Fail(file, start, kAspParseError, std::string(kIncludeWithoutName));
  }
  site_.Log(std::string(kIncludeLogPrefix) + directive->name);
  size_t end = close + kCommentClose.size();
  TRY(IncludeFile(file, *directive, start, end));
  return end;
}

// The included text follows the comment in the expanded page text and is scanned as a file of
// its own, its directory serving the includes inside it (for both forms: a relative name is
// found beside the file that holds it).
PreprocessOutcome<void> Preprocessor::IncludeFile(OpenFile& file, const IncludeDirective& directive,
                                                  size_t start, size_t end) {
  if (open_files_.size() > options_.max_include_depth) {
    return Fail(file, start, kAspParseError,
                std::string(kIncludeTooDeep) + std::to_string(options_.max_include_depth));
  }
  size_t budget = max_expanded_bytes_ - planned_bytes_;
  Result<IncludedFile> read =
      site_.ReadInclude(IncludeRequest{directive.form, directive.name, file.directory, budget});
  if (!read.ok()) {
    std::string reason = TextToBytes(read.error().Description(), CP_UTF8);
    return Fail(file, start, kAspParseError,
                std::string(kIncludeUnreadable) + "\"" + directive.name + "\": " + reason);
  }
  IncludedFile included = std::move(read).value();
  for (const OpenFile* open : open_files_) {
    if (files_[open->file] == included.path) {
      return Fail(file, start, kAspParseError, std::string(kIncludeCycle) + included.path);
    }
  }
  if (included.text.size() > budget) {
    return Fail(file, start, kAspParseError,
                std::string(kPageTooLarge) + std::to_string(max_expanded_bytes_));
  }
  planned_bytes_ += included.text.size();
  CopyPageText(file, end);
  OpenFile child(included.text, FileIndex(included.path), DirectoryOf(included.path));
  child.included_at = Origin(file, start);
  TRY(ScanWholeFile(child));
  return {};
}

// metadata -> "<!--" { space } "METADATA" attributes "-->"
PreprocessOutcome<size_t> Preprocessor::ScanMetadata(OpenFile& file, Opener opener, size_t start) {
  size_t close = file.text.find(kCommentClose, opener.end);
  if (close == std::string_view::npos) {
    return Fail(file, start, kAspParseError, std::string(kUnclosedMetadataComment));
  }
  PreprocessOutcome<TypeLibraryReference> reference =
      ParseMetadataComment(DirectiveText(file.text, opener.end, close));
  if (!reference.ok()) {
    return Fail(file, start, reference.error().asp_code, reference.error().detail);
  }
  reference.value().where = Origin(file, start);
  page_.type_libraries.push_back(std::move(reference).value());
  return close + kCommentClose.size();
}

uint32_t Preprocessor::LanguageSlot(std::string language) {
  if (language.empty()) return 0;
  auto [it, inserted] = language_slots_.try_emplace(UpperCaseBytes(language),
                                                    static_cast<uint32_t>(languages_.size()));
  if (inserted) languages_.push_back(std::move(language));
  return it->second;
}

std::string Preprocessor::PageLanguage() const {
  if (page_language_ && !page_language_->empty()) return *page_language_;
  std::string server_language = NormalisedLanguageName(options_.default_language);
  if (!server_language.empty()) return server_language;
  return std::string(kDefaultScriptLanguage);
}

// Writes the scripts: the page language's part with the literal ranges, expressions, code and
// SCRIPT blocks of its language; one part per other language with its SCRIPT blocks.
PreprocessedPage Preprocessor::Render() {
  std::string language = PageLanguage();
  const WriteTemplates& templates = WriteTemplatesFor(language);
  ScriptBuilder primary;
  std::vector<std::pair<std::string, ScriptBuilder>> others;
  std::vector<int> part_of_slot(languages_.size(), -1);
  for (const PageItem& item : items_) {
    ScriptBuilder* builder = &primary;
    if (item.kind == ItemKind::ScriptBlock && item.language != 0 &&
        !SameLanguage(languages_[item.language], language)) {
      int& part = part_of_slot[item.language];
      if (part < 0) {
        part = static_cast<int>(others.size());
        others.emplace_back(languages_[item.language], ScriptBuilder());
      }
      builder = &others[part].second;
    }
    WriteItem(*builder, item, page_text_, templates);
  }
  primary.SetOrigin(page_end_);
  page_.primary = std::move(primary).Finish(language);
  for (auto& [other_language, builder] : others) {
    page_.others.push_back(std::move(builder).Finish(other_language));
  }
  page_.page_text = std::move(page_text_);
  page_.files = std::move(files_);
  return std::move(page_);
}

}  // namespace

PreprocessOutcome<PreprocessedPage> PreprocessPage(std::string_view page_text,
                                                   const PreprocessOptions& options,
                                                   PreprocessorSite& site) {
  Preprocessor preprocessor(options, site);
  return preprocessor.Run(page_text);
}

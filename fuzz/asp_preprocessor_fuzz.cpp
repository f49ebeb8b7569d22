// A page with its include files and global.asa, preprocessed, then the result checked: every
// WritePart range inside the page text, every script line mapped to a real line of a real
// file, the expanded text within its limit.
//
// Input: one flags byte, then the page and the files separated by '\x01'. An include name is
// found by the sum of its bytes among the files, so the fuzzer reaches cycles, deep nesting
// and the same file included twice. Flags: bit 0 takes the first file as global.asa, bit 1
// makes the server's language JScript, bit 2 sets small limits, bit 3 makes every read fail.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "wendrel/asp/preprocessor.h"

namespace {

constexpr char kFileSeparator = '\x01';

class FuzzSite : public PreprocessorSite {
 public:
  std::vector<std::string> files;
  bool fail_reads = false;

  Result<IncludedFile> ReadInclude(const IncludeRequest& request) override {
    if (fail_reads || files.empty()) return Error::Script(53, u"File not found");
    unsigned sum = 0;
    for (char c : request.name) sum += static_cast<unsigned char>(c);
    size_t index = sum % files.size();
    return IncludedFile{PathOf(index), files[index]};
  }
  void Log(std::string_view line) override {
    if (line.empty()) abort();
  }
  static std::string PathOf(size_t index) { return "/f/" + std::to_string(index) + ".inc"; }
};

void Check(bool condition, const char* what) {
  if (condition) return;
  fprintf(stderr, "invariant broken: %s\n", what);
  abort();
}

// The number of lines of a text as the engines count them.
size_t LineCount(std::string_view text) {
  size_t lines = 1;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))) ++lines;
  }
  return lines;
}

void CheckWriteParts(const ScriptPart& part, size_t page_size) {
  size_t at = 0;
  std::string_view script = part.script;
  while ((at = script.find("WritePart", at)) != std::string_view::npos) {
    at += 9;
    size_t begin = 0;
    size_t end = 0;
    std::string tail(script.substr(at, 48));
    if (sscanf(tail.c_str(), "%*[ (]%zu%*[, ]%zu", &begin, &end) != 2) continue;
    Check(begin < end && end <= page_size, "WritePart range inside the page text");
  }
}

void CheckLineMap(const ScriptPart& part, const std::vector<size_t>& file_lines) {
  size_t script_lines = LineCount(part.script);
  Check(part.line_map.size() == script_lines, "one map entry per script line");
  for (const SourceLine& line : part.line_map) {
    Check(line.file < file_lines.size(), "mapped file exists");
    Check(line.line >= 1 && line.line <= file_lines[line.file], "mapped line exists");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  uint8_t flags = data[0];
  std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::vector<std::string> pieces;
  size_t start = 0;
  while (true) {
    size_t separator = input.find(kFileSeparator, start);
    pieces.emplace_back(input.substr(start, separator - start));
    if (separator == std::string_view::npos) break;
    start = separator + 1;
  }
  FuzzSite site;
  site.files.assign(pieces.begin() + 1, pieces.end());
  site.fail_reads = (flags & 8) != 0;
  PreprocessOptions options;
  options.page_path = "/f/page.asp";
  if ((flags & 1) && !site.files.empty()) {
    options.prefix = IncludedFile{"/f/global.asa", site.files[0]};
  }
  if (flags & 2) options.default_language = "JScript";
  if (flags & 4) {
    options.max_include_depth = 3;
    options.max_expanded_bytes = 4096;
  }
  PreprocessOutcome<PreprocessedPage> outcome = PreprocessPage(pieces[0], options, site);
  if (!outcome.ok()) {
    Check(!outcome.error().where.empty(), "a failure names its place");
    return 0;
  }
  const PreprocessedPage& page = outcome.value();
  Check(page.page_text.size() <= std::min(options.max_expanded_bytes, kMaxPageTextBytes),
        "expanded text within its limit");
  Check(!page.files.empty() && page.files[0] == options.page_path, "the page is file 0");
  std::map<std::string, std::string_view> texts{{options.page_path, pieces[0]}};
  if (options.prefix) texts[options.prefix->path] = options.prefix->text;
  for (size_t i = 0; i < site.files.size(); ++i) texts[FuzzSite::PathOf(i)] = site.files[i];
  std::vector<size_t> file_lines;
  for (const std::string& file : page.files) file_lines.push_back(LineCount(texts.at(file)));
  // Code of the page may say WritePart itself; only generated calls are checked.
  bool written_by_page = false;
  for (const auto& [path, text] : texts) {
    written_by_page |= text.find("WritePart") != std::string_view::npos;
  }
  if (!written_by_page) CheckWriteParts(page.primary, page.page_text.size());
  CheckLineMap(page.primary, file_lines);
  for (const ScriptPart& other : page.others) CheckLineMap(other, file_lines);
  return 0;
}

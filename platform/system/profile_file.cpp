#include "platform/system/profile_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <utility>

#include "platform/automation/text_case.h"
#include "platform/system/code_page.h"

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kBlanks = " \t";
// Bytes read from a file per call.
constexpr size_t kReadChunkBytes = 64 * 1024;
// Bytes of the file name kept in a temporary name, so that it stays below NAME_MAX.
constexpr size_t kMaxTemporaryStemBytes = 200;
// Fresh temporary names tried before a save gives up.
constexpr int kTemporaryNameAttempts = 100;

// Numbers the temporary files of this process.
std::atomic<unsigned> temporary_counter{0};

// ---------------------------------------------------------------------------------------------
// Lines

/// One line of the text: [begin, end) without its line end; `next` starts the following line.
struct LineSpan {
  size_t begin;
  size_t end;
  size_t next;
};

LineSpan LineAt(std::string_view text, size_t begin) {
  size_t newline = text.find('\n', begin);
  if (newline == std::string_view::npos) return {begin, text.size(), text.size()};
  size_t end = newline;
  if (end > begin && text[end - 1] == '\r') --end;
  return {begin, end, newline + 1};
}

enum class LineKind { Blank, Comment, Section, Key, Bare };

/// What a line says: a section header's name, a key line's name and value, a bare line's text.
struct ParsedLine {
  LineKind kind = LineKind::Blank;
  std::string_view name{};
  std::string_view value{};
};

std::string_view Trim(std::string_view text) {
  size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  size_t last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

ParsedLine ParseLine(std::string_view text, const LineSpan& span) {
  std::string_view line = text.substr(span.begin, span.end - span.begin);
  if (span.begin == 0 && line.starts_with(kByteOrderMark)) line.remove_prefix(kByteOrderMark.size());
  std::string_view content = Trim(line);
  if (content.empty()) return {};
  if (content.front() == ';') return {.kind = LineKind::Comment};
  if (content.front() == '[') {
    size_t close = content.rfind(']');
    if (close != std::string_view::npos) {
      return {.kind = LineKind::Section, .name = Trim(content.substr(1, close - 1))};
    }
  }
  size_t equals = content.find('=');
  if (equals == std::string_view::npos) return {.kind = LineKind::Bare, .name = content};
  return {LineKind::Key, Trim(content.substr(0, equals)), Trim(content.substr(equals + 1))};
}

// ---------------------------------------------------------------------------------------------
// Names

/// A byte's letter case folded as the ANSI code page's letters fold.
char16_t FoldedByte(char byte) {
  auto code = static_cast<unsigned char>(byte);
  if (code < 0x80) return (code >= 'a' && code <= 'z') ? code - ('a' - 'A') : code;
  return ToUpperChar(BytesToText(std::string_view(&byte, 1), CP_ACP).front());
}

bool NamesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && FoldedByte(a[i]) != FoldedByte(b[i])) return false;
  }
  return true;
}

Error InvalidName(std::u16string_view what, std::string_view name) {
  std::u16string description(what);
  description += u": \"";
  description += BytesToText(name.substr(0, 64), CP_UTF8);
  description += u'"';
  return Error::FromHresult(kProfileInvalidName, std::move(description));
}

bool HasLineBreakOrNul(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

Result<void> CheckName(std::u16string_view what, std::string_view name) {
  if (name.empty()) return InvalidName(what, name);
  if (Trim(name).size() != name.size()) return InvalidName(what, name);
  if (HasLineBreakOrNul(name)) return InvalidName(what, name);
  return {};
}

Result<void> CheckKeyName(std::string_view key) {
  TRY(CheckName(u"Profile key name is empty, padded or holds a line break", key));
  if (key.find('=') != std::string_view::npos || key.front() == ';' || key.front() == '[') {
    return InvalidName(u"Profile key name holds '=' or starts with ';' or '['", key);
  }
  return {};
}

Result<void> CheckValue(std::string_view value) {
  if (HasLineBreakOrNul(value)) return InvalidName(u"Profile value holds a line break", value);
  return {};
}

// ---------------------------------------------------------------------------------------------
// Sections and keys

/// Where the first section of a name lies in the text.
struct SectionSpan {
  bool found = false;
  size_t body = 0;          // start of the line after the header
  size_t end = 0;           // start of the next header, or the end of the text
  size_t content_next = 0;  // after the last non-blank line from the header on
};

SectionSpan FindSection(std::string_view text, std::string_view name) {
  SectionSpan span;
  for (size_t at = 0; at < text.size();) {
    LineSpan line = LineAt(text, at);
    ParsedLine parsed = ParseLine(text, line);
    at = line.next;
    if (!span.found) {
      if (parsed.kind == LineKind::Section && NamesEqual(parsed.name, name)) {
        span = {true, line.next, text.size(), line.next};
      }
      continue;
    }
    if (parsed.kind == LineKind::Section) {
      span.end = line.begin;
      return span;
    }
    if (parsed.kind != LineKind::Blank) span.content_next = line.next;
  }
  return span;
}

struct KeyLine {
  LineSpan span;
  ParsedLine parsed;
};

std::optional<KeyLine> FindKey(std::string_view text, const SectionSpan& section,
                               std::string_view key) {
  for (size_t at = section.body; at < section.end;) {
    LineSpan line = LineAt(text, at);
    ParsedLine parsed = ParseLine(text, line);
    if (parsed.kind == LineKind::Key && NamesEqual(parsed.name, key)) return KeyLine{line, parsed};
    at = line.next;
  }
  return std::nullopt;
}

std::string_view Unquoted(std::string_view value) {
  if (value.size() < 2 || value.front() != value.back()) return value;
  if (value.front() != '"' && value.front() != '\'') return value;
  return value.substr(1, value.size() - 2);
}

/// Optional sign and decimal digits at the start of `text`, saturated to 32 bits; 0 without
/// digits.
int32_t LeadingInteger(std::string_view text) {
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  size_t at = std::min(text.find_first_not_of(kBlanks), text.size());
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  int64_t magnitude = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    magnitude = std::min(magnitude * 10 + (text[at] - '0'), kLimit);
  }
  int64_t value = negative ? -magnitude : std::min(magnitude, kLimit - 1);
  return static_cast<int32_t>(value);
}

/// Whether the last line of a non-empty, line-terminated text holds only blanks.
bool EndsWithBlankLine(std::string_view text) {
  std::string_view body = text.substr(0, text.size() - 1);  // without the final '\n'
  if (body.ends_with('\r')) body.remove_suffix(1);
  size_t start = body.rfind('\n');
  std::string_view last = start == std::string_view::npos ? body : body.substr(start + 1);
  return Trim(last).empty();
}

/// The text with every line ended by "\r\n".
std::string NormalizedText(std::string_view text) {
  std::string normalized;
  normalized.reserve(text.size() + text.size() / 16 + kLineEnd.size());
  for (size_t at = 0; at < text.size();) {
    LineSpan line = LineAt(text, at);
    normalized.append(text.substr(line.begin, line.end - line.begin));
    normalized.append(kLineEnd);
    at = line.next;
  }
  return normalized;
}

// ---------------------------------------------------------------------------------------------
// Files

std::u16string SystemErrorText(int error) {
  std::array<char, 256> buffer{};
  const char* text = strerror_r(error, buffer.data(), buffer.size());  // GNU form
  return BytesToText(text, CP_UTF8);
}

Error FileError(std::u16string_view action, std::string_view path, int error) {
  HRESULT hr = E_FAIL;
  if (error == ENOENT || error == ENOTDIR) hr = kProfileFileNotFound;
  if (error == EACCES || error == EPERM || error == EROFS) hr = kProfileAccessDenied;
  if (error == EFBIG) hr = kProfileFileTooLarge;
  std::u16string description(action);
  description += u" \"";
  description += BytesToText(path, CP_UTF8);
  description += u"\": ";
  description += SystemErrorText(error);
  return Error::FromHresult(hr, std::move(description));
}

Error TooLarge(std::string_view path) {
  std::u16string description = u"Profile file is larger than 16 MiB: \"";
  description += BytesToText(path, CP_UTF8);
  description += u'"';
  return Error::FromHresult(kProfileFileTooLarge, std::move(description));
}

/// Closes a descriptor when it goes out of scope.
class FileDescriptor {
 public:
  explicit FileDescriptor(int descriptor) : descriptor_(descriptor) {}
  ~FileDescriptor() { Close(); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return descriptor_; }
  /// Closes now; false when the close reported an error (a write that did not reach the file).
  bool Close() {
    if (descriptor_ < 0) return true;
    int result = close(descriptor_);
    descriptor_ = -1;
    return result == 0;
  }

 private:
  int descriptor_;
};

Result<std::string> ReadWhole(int descriptor, std::string_view path) {
  std::string text;
  std::array<char, kReadChunkBytes> chunk;
  for (;;) {
    ssize_t count = read(descriptor, chunk.data(), chunk.size());
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return FileError(u"Cannot read the profile file", path, errno);
    if (count == 0) return text;
    if (text.size() + static_cast<size_t>(count) > kMaxProfileFileBytes) return TooLarge(path);
    text.append(chunk.data(), static_cast<size_t>(count));
  }
}

Result<void> WriteWhole(int descriptor, std::string_view bytes, std::string_view path) {
  while (!bytes.empty()) {
    ssize_t count = write(descriptor, bytes.data(), bytes.size());
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return FileError(u"Cannot write the profile file", path, errno);
    bytes.remove_prefix(static_cast<size_t>(count));
  }
  return {};
}

/// The file a save replaces: the target of a symbolic link, else the path itself.
std::string SaveTarget(std::string_view path) {
  std::string name(path);
  struct stat status;
  if (lstat(name.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return name;
  char* resolved = realpath(name.c_str(), nullptr);
  if (resolved == nullptr) return name;  // a dangling link is replaced by the file
  std::string target(resolved);
  free(resolved);
  return target;
}

/// A new, empty file beside `target` (created with the process's usual permissions).
struct TemporaryFile {
  int descriptor = -1;
  std::string path;
};

Result<TemporaryFile> CreateTemporaryBeside(const std::string& target) {
  size_t slash = target.rfind('/');
  std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  std::string stem = target.substr(folder.size()).substr(0, kMaxTemporaryStemBytes);
  int error = 0;
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    std::string path = folder + "." + stem + ".tmp-" + std::to_string(getpid()) + "-" +
                       std::to_string(temporary_counter.fetch_add(1));
    int descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor >= 0) return TemporaryFile{descriptor, std::move(path)};
    error = errno;
    if (error != EEXIST) break;
  }
  return FileError(u"Cannot create a temporary file beside", target, error);
}

/// Writes `bytes` to the temporary file, gives it the target's permissions and renames it over
/// the target.
Result<void> ReplaceWith(const TemporaryFile& temporary, const std::string& target,
                         std::string_view bytes) {
  FileDescriptor file(temporary.descriptor);
  struct stat status;
  if (stat(target.c_str(), &status) == 0) fchmod(file.get(), status.st_mode & 07777);
  TRY(WriteWhole(file.get(), bytes, target));
  if (fsync(file.get()) != 0) return FileError(u"Cannot flush the profile file", target, errno);
  if (!file.Close()) return FileError(u"Cannot write the profile file", target, errno);
  if (rename(temporary.path.c_str(), target.c_str()) != 0) {
    return FileError(u"Cannot replace the profile file", target, errno);
  }
  return {};
}

Result<ProfileFile> LoadOrEmpty(std::string_view path) {
  Result<ProfileFile> loaded = ProfileFile::Load(path);
  if (!loaded.ok() && loaded.error().Hresult() == kProfileFileNotFound) return ProfileFile();
  return loaded;
}

}  // namespace

// -------------------------------------------------------------------------------------------------
// ProfileFile

Result<ProfileFile> ProfileFile::Load(std::string_view path) {
  std::string name(path);
  // Non-blocking, so that a FIFO or a device never stalls the open.
  FileDescriptor file(open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (file.get() < 0) return FileError(u"Cannot open the profile file", path, errno);
  struct stat status;
  if (fstat(file.get(), &status) != 0) {
    return FileError(u"Cannot examine the profile file", path, errno);
  }
  if (!S_ISREG(status.st_mode)) {
    return Error::FromHresult(E_FAIL, u"Profile file is not a regular file: \"" +
                                          BytesToText(path, CP_UTF8) + u"\"");
  }
  if (static_cast<uint64_t>(status.st_size) > kMaxProfileFileBytes) return TooLarge(path);
  std::string text = TRY(ReadWhole(file.get(), path));
  return ProfileFile(std::move(text));
}

Result<void> ProfileFile::Save(std::string_view path) const {
  if (path.empty()) return FileError(u"Cannot write the profile file", path, ENOENT);
  std::string target = SaveTarget(path);
  TemporaryFile temporary = TRY(CreateTemporaryBeside(target));
  Result<void> replaced = ReplaceWith(temporary, target, NormalizedText(text_));
  if (!replaced.ok()) unlink(temporary.path.c_str());
  return replaced;
}

std::optional<std::string> ProfileFile::FindString(std::string_view section,
                                                   std::string_view key) const {
  SectionSpan span = FindSection(text_, section);
  if (!span.found) return std::nullopt;
  std::optional<KeyLine> line = FindKey(text_, span, key);
  if (!line) return std::nullopt;
  return std::string(Unquoted(line->parsed.value));
}

std::string ProfileFile::ReadString(std::string_view section, std::string_view key,
                                    std::string_view default_value) const {
  std::optional<std::string> value = FindString(section, key);
  return value ? std::move(*value) : std::string(default_value);
}

int32_t ProfileFile::ReadInt(std::string_view section, std::string_view key,
                             int32_t default_value) const {
  std::optional<std::string> value = FindString(section, key);
  if (!value || value->empty()) return default_value;
  return LeadingInteger(*value);
}

ProfileSection ProfileFile::ReadSection(std::string_view section, size_t room) const {
  ProfileSection result;
  SectionSpan span = FindSection(text_, section);
  if (!span.found) return result;
  size_t used = 1;  // the terminator after the last line
  for (size_t at = span.body; at < span.end;) {
    LineSpan line = LineAt(text_, at);
    ParsedLine parsed = ParseLine(text_, line);
    at = line.next;
    if (parsed.kind != LineKind::Key && parsed.kind != LineKind::Bare) continue;
    std::string entry(parsed.name);
    if (parsed.kind == LineKind::Key) entry.append("=").append(parsed.value);
    if (used + entry.size() + 1 > room) {
      result.truncated = true;
      return result;
    }
    used += entry.size() + 1;
    result.lines.push_back(std::move(entry));
  }
  return result;
}

Result<void> ProfileFile::WriteString(std::string_view section, std::string_view key,
                                      std::string_view value) {
  TRY(CheckName(u"Profile section name is empty, padded or holds a line break", section));
  TRY(CheckKeyName(key));
  TRY(CheckValue(value));
  SectionSpan span = FindSection(text_, section);
  if (std::optional<KeyLine> existing = span.found ? FindKey(text_, span, key) : std::nullopt) {
    std::string line = std::string(existing->parsed.name) + "=" + std::string(value) +
                       std::string(kLineEnd);
    text_.replace(existing->span.begin, existing->span.next - existing->span.begin, line);
    return {};
  }
  std::string addition;
  size_t at = span.found ? span.content_next : text_.size();
  if (at > 0 && text_[at - 1] != '\n') addition += kLineEnd;  // an unterminated last line
  if (!span.found) {
    if (!text_.empty() && !EndsWithBlankLine(text_ + addition)) addition += kLineEnd;
    addition.append("[").append(section).append("]").append(kLineEnd);
  }
  addition.append(key).append("=").append(value).append(kLineEnd);
  text_.insert(at, addition);
  return {};
}

void ProfileFile::ClearSection(std::string_view section) {
  SectionSpan span = FindSection(text_, section);
  if (!span.found) return;
  std::string kept;
  for (size_t at = span.body; at < span.end;) {
    LineSpan line = LineAt(text_, at);
    LineKind kind = ParseLine(text_, line).kind;
    if (kind == LineKind::Blank || kind == LineKind::Comment) {
      kept.append(text_, line.begin, line.next - line.begin);
    }
    at = line.next;
  }
  text_.replace(span.body, span.end - span.body, kept);
}

// -------------------------------------------------------------------------------------------------
// The profile API on paths

Result<std::string> ReadProfileString(std::string_view path, std::string_view section,
                                      std::string_view key, std::string_view default_value) {
  ProfileFile file = TRY(LoadOrEmpty(path));
  return file.ReadString(section, key, default_value);
}

Result<int32_t> ReadProfileInt(std::string_view path, std::string_view section,
                               std::string_view key, int32_t default_value) {
  ProfileFile file = TRY(LoadOrEmpty(path));
  return file.ReadInt(section, key, default_value);
}

Result<ProfileSection> ReadProfileSection(std::string_view path, std::string_view section,
                                          size_t room) {
  ProfileFile file = TRY(LoadOrEmpty(path));
  return file.ReadSection(section, room);
}

Result<void> WriteProfileString(std::string_view path, std::string_view section,
                                std::string_view key, std::string_view value) {
  static std::mutex writers;  // constant-initialised: no static constructor
  std::lock_guard<std::mutex> lock(writers);
  ProfileFile file = TRY(LoadOrEmpty(path));
  TRY(file.WriteString(section, key, value));
  return file.Save(path);
}

#pragma once
// Profile (INI) files: narrow text made of "[Section]" headers, "Key=Value" lines, ";" comments
// and blank lines. Reading follows the private-profile functions:
//   - section and key names compare ignoring case (letters of the ANSI code page); the first
//     section of a name and the first key of a name in it win; lines before the first section
//     belong to none;
//   - spaces and tabs around names and values are dropped; a header is '[' up to the line's
//     last ']' (a line with '[' and no ']' is an ordinary line); "a=b=c" is key "a", value
//     "b=c"; a UTF-8 byte order mark at the start of the file is skipped;
//   - lines end with "\n" or "\r\n"; bytes are taken as they are, so a file that is not text
//     reads as lines that match nothing, never as a failure.
// Writing keeps every other line, comment and section where it is and ends every line with
// "\r\n". A file is read whole, at most kMaxProfileFileBytes, and written through a temporary
// file in the same folder that is renamed over it, so a failed write leaves the old file.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/result.h"

/// The most a profile file may hold; a larger one fails to load with kProfileFileTooLarge.
inline constexpr size_t kMaxProfileFileBytes = size_t{16} << 20;
/// The room a whole-section read has by default, as the section buffer of the profile API:
/// each line and its terminator, plus the final terminator.
inline constexpr size_t kMaxProfileSectionBytes = 16381;

/// Failures as HRESULTs (HRESULT_FROM_WIN32 of the matching Windows errors).
inline constexpr HRESULT kProfileFileNotFound = MakeHresult(0x80070002u);   // ERROR_FILE_NOT_FOUND
inline constexpr HRESULT kProfileAccessDenied = MakeHresult(0x80070005u);   // ERROR_ACCESS_DENIED
inline constexpr HRESULT kProfileInvalidName = MakeHresult(0x80070057u);    // ERROR_INVALID_PARAMETER
inline constexpr HRESULT kProfileFileTooLarge = MakeHresult(0x800700DFu);   // ERROR_FILE_TOO_LARGE

/// The lines of a section as a whole-section read gives them: "key=value" for each key line
/// (names and values trimmed), the trimmed line for a line without '='; no blank lines, no
/// comments. `truncated` tells that lines were left out because the room ran out; a line is
/// given whole or not at all.
struct ProfileSection {
  std::vector<std::string> lines;
  bool truncated = false;
};

/// One profile file's text in memory. Reads never fail; writes refuse names and values the
/// format cannot hold (kProfileInvalidName): an empty section or key, one with spaces or tabs
/// at its ends, a key that contains '=' or starts with ';' or '[', and CR, LF or NUL in any of
/// the three. A value is written as given; note that a read drops spaces around it and one
/// pair of matching quotes enclosing it.
class ProfileFile {
 public:
  ProfileFile() = default;
  explicit ProfileFile(std::string text) : text_(std::move(text)) {}

  /// Reads the file at `path`. kProfileFileNotFound when it does not exist; kProfileFileTooLarge
  /// above kMaxProfileFileBytes; another failure when it is not a regular file or cannot be
  /// read. Never blocks on a FIFO or a device.
  static Result<ProfileFile> Load(std::string_view path);

  /// Writes the text to `path` with "\r\n" line ends, replacing the file as one step (a
  /// symbolic link is followed and its target replaced). Fails when the folder cannot take the
  /// temporary file or the file cannot be written; the old file is then left as it was.
  Result<void> Save(std::string_view path) const;

  /// The value of `key` in `section`: trimmed, one pair of enclosing quotes (" or ') removed.
  /// Nothing when the section or the key is missing (or its line has no '=').
  std::optional<std::string> FindString(std::string_view section, std::string_view key) const;
  /// FindString, or `default_value` when missing.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view default_value) const;
  /// The integer at the start of the value: optional spaces, an optional sign, decimal digits,
  /// saturated to the 32-bit range; 0 when the value does not start with a number;
  /// `default_value` when the key is missing or its value is empty.
  int32_t ReadInt(std::string_view section, std::string_view key, int32_t default_value) const;
  /// The section's lines (see ProfileSection) that fit in `room` bytes. A missing section is
  /// empty.
  ProfileSection ReadSection(std::string_view section,
                             size_t room = kMaxProfileSectionBytes) const;

  /// Sets `key` in `section` to `value`: the key's first line is replaced in place (keeping
  /// its spelling), a new key goes after the section's last non-blank line, a new section is
  /// added at the end of the text.
  Result<void> WriteString(std::string_view section, std::string_view key,
                           std::string_view value);
  /// Removes every key line (and line without '=') of the section, keeping its header, its
  /// comments and blank lines. Nothing happens when the section is missing.
  void ClearSection(std::string_view section);

  /// The text as it stands (line ends as read; written lines end with "\r\n").
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

/// The profile API on a path: each call reads the file (a missing file reads as empty, so the
/// default comes back); failures are those of ProfileFile::Load other than a missing file.
Result<std::string> ReadProfileString(std::string_view path, std::string_view section,
                                      std::string_view key, std::string_view default_value);
Result<int32_t> ReadProfileInt(std::string_view path, std::string_view section,
                               std::string_view key, int32_t default_value);
Result<ProfileSection> ReadProfileSection(std::string_view path, std::string_view section,
                                          size_t room = kMaxProfileSectionBytes);

/// Reads the file (or starts from nothing when it is missing), sets the value and saves it.
/// Writes from several threads of the process are serialised, so none is lost.
Result<void> WriteProfileString(std::string_view path, std::string_view section,
                                std::string_view key, std::string_view value);

#pragma once
// TextStream: a text file read or written sequentially, as FileSystemObject.OpenTextFile and
// CreateTextFile return it.
//
// Encodings: ANSI (Windows-1252), Unicode (UTF-16LE, a byte-order mark written at the start of a
// new file and skipped when read) and UTF-8 (likewise with its mark). Opening for reading with
// TristateUseDefault tells them apart by the mark. Lines end at CR LF, LF or a lone CR.
//
// Reading decodes the file in pieces, so ReadLine over a file of any size uses bounded memory;
// a single result (ReadAll, ReadLine, Read) is limited to kMaxReadCharacters: past it the read
// fails with "Out of string space" (14) and names the limit instead of exhausting memory.
// Errors: InputPastEndOfFile (62) reading at the end; BadFileMode (54) reading a stream opened
// for writing or the reverse; BadFileNameOrNumber (52) after Close.

#include <cstdint>
#include <string>

#include "platform/com/dispatch_object.h"

/// The most characters one read returns (32 Mi characters, 64 MiB of text).
inline constexpr size_t kMaxReadCharacters = size_t{1} << 25;

enum class TextEncoding { Ansi, Unicode, Utf8 };

class TextStream : public DispatchObject<TextStream> {
 public:
  enum class Mode { Reading, Writing };

  /// Takes over an open file descriptor. For reading, `detect` reads the encoding from a
  /// byte-order mark (ANSI without one); a mark of `encoding` is skipped. For writing,
  /// `write_mark` starts the file with the encoding's mark.
  TextStream(int descriptor, Mode mode, TextEncoding encoding, bool detect, bool write_mark);
  ~TextStream() override;
  static std::span<const DispatchMember<TextStream>> Members();
  std::u16string_view TypeName() override { return u"TextStream"; }

 private:
  Result<void> RequireMode(Mode mode) const;
  // Reads and decodes the next piece of the file into pending_; false at the end of the file.
  Result<bool> Fill();
  // Makes at least `count` characters available (fewer at the end of the file).
  Result<void> Ensure(size_t count);
  // Decodes bytes, keeping an incomplete character's bytes for the next piece.
  void Decode(std::string_view bytes, bool last);
  Result<bool> AtEnd();
  std::u16string Take(size_t count);
  Result<void> WriteText(std::u16string_view text);
  Result<void> Flush();
  void Track(std::u16string_view text);
  void DetectEncoding();

  Result<Variant> ReadLine(const DispatchArguments& arguments);
  Result<Variant> ReadAll(const DispatchArguments& arguments);
  Result<Variant> Read(const DispatchArguments& arguments);
  Result<Variant> Skip(const DispatchArguments& arguments);
  Result<Variant> SkipLine(const DispatchArguments& arguments);
  Result<Variant> AtEndOfStream(const DispatchArguments& arguments);
  Result<Variant> AtEndOfLine(const DispatchArguments& arguments);
  Result<Variant> Write(const DispatchArguments& arguments);
  Result<Variant> WriteLine(const DispatchArguments& arguments);
  Result<Variant> WriteBlankLines(const DispatchArguments& arguments);
  Result<Variant> Close(const DispatchArguments& arguments);
  Result<Variant> Line(const DispatchArguments& arguments);
  Result<Variant> Column(const DispatchArguments& arguments);

  int descriptor_;
  Mode mode_;
  TextEncoding encoding_;
  bool detect_;
  bool started_ = false;       // reading: the mark has been looked for
  bool file_end_ = false;
  std::string carry_;          // bytes of a character cut by a piece
  std::u16string pending_;     // decoded, not yet read
  size_t offset_ = 0;          // read position in pending_
  std::string output_;         // encoded, not yet written
  int32_t line_ = 1;
  int32_t column_ = 1;
  bool last_was_cr_ = false;
};

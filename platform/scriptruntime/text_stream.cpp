#include "platform/scriptruntime/text_stream.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/automation/conversion.h"
#include "platform/scriptruntime/file_paths.h"
#include "platform/system/code_page.h"

namespace {

constexpr size_t kPieceBytes = 64 * 1024;
constexpr std::string_view kUnicodeMark = "\xFF\xFE";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

std::string_view MarkOf(TextEncoding encoding) {
  if (encoding == TextEncoding::Unicode) return kUnicodeMark;
  if (encoding == TextEncoding::Utf8) return kUtf8Mark;
  return {};
}

Error TooLong() {
  return Error::Script(static_cast<int32_t>(ErrorNumber::OutOfStringSpace),
                       u"Out of string space: one read returns at most 33554432 characters");
}

// The bytes at the end of a UTF-8 piece that start a character the piece does not finish.
size_t IncompleteUtf8Tail(std::string_view bytes) {
  for (size_t back = 1; back <= std::min<size_t>(3, bytes.size()); ++back) {
    unsigned char c = static_cast<unsigned char>(bytes[bytes.size() - back]);
    if ((c & 0xC0) == 0x80) continue;  // a continuation byte: look further back
    size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    return length > back ? back : 0;
  }
  return 0;
}

}  // namespace

TextStream::TextStream(int descriptor, Mode mode, TextEncoding encoding, bool detect,
                       bool write_mark)
    : descriptor_(descriptor), mode_(mode), encoding_(encoding), detect_(detect) {
  if (mode_ == Mode::Writing && write_mark) output_ = MarkOf(encoding_);
}

TextStream::~TextStream() {
  if (descriptor_ < 0) return;
  (void)Flush();
  ::close(descriptor_);
}

std::span<const DispatchMember<TextStream>> TextStream::Members() {
  static constexpr DispatchMember<TextStream> kMembers[] = {
      {u"Line", 10000, kPropertyGet, 0, 0, &TextStream::Line},
      {u"Column", -529, kPropertyGet, 0, 0, &TextStream::Column},
      {u"AtEndOfStream", 10002, kPropertyGet, 0, 0, &TextStream::AtEndOfStream},
      {u"AtEndOfLine", 10003, kPropertyGet, 0, 0, &TextStream::AtEndOfLine},
      {u"Read", 10004, kMethod, 1, 1, &TextStream::Read, u"Characters"},
      {u"ReadLine", 10005, kMethod, 0, 0, &TextStream::ReadLine},
      {u"ReadAll", 10006, kMethod, 0, 0, &TextStream::ReadAll},
      {u"Write", 10007, kMethod, 1, 1, &TextStream::Write, u"Text"},
      {u"WriteLine", 10008, kMethod, 0, 1, &TextStream::WriteLine, u"Text"},
      {u"WriteBlankLines", 10009, kMethod, 1, 1, &TextStream::WriteBlankLines, u"Lines"},
      {u"Skip", 10010, kMethod, 1, 1, &TextStream::Skip, u"Characters"},
      {u"SkipLine", 10011, kMethod, 0, 0, &TextStream::SkipLine},
      {u"Close", 10012, kMethod, 0, 0, &TextStream::Close},
  };
  return kMembers;
}

Result<void> TextStream::RequireMode(Mode mode) const {
  if (descriptor_ < 0) return ErrorNumber::BadFileNameOrNumber;
  if (mode_ != mode) return ErrorNumber::BadFileMode;
  return {};
}

void TextStream::Decode(std::string_view bytes, bool last) {
  std::string whole = carry_ + std::string(bytes);
  carry_.clear();
  size_t keep = 0;
  if (!last && encoding_ == TextEncoding::Unicode) keep = whole.size() % 2;
  if (!last && encoding_ == TextEncoding::Utf8) keep = IncompleteUtf8Tail(whole);
  carry_ = whole.substr(whole.size() - keep);
  whole.resize(whole.size() - keep);
  if (encoding_ == TextEncoding::Unicode) {
    for (size_t i = 0; i + 1 < whole.size(); i += 2) {
      pending_ += static_cast<char16_t>(static_cast<unsigned char>(whole[i]) |
                                        (static_cast<unsigned char>(whole[i + 1]) << 8));
    }
    if (whole.size() % 2 != 0) pending_ += u'\uFFFD';  // an odd last byte
    return;
  }
  pending_ += BytesToText(whole, encoding_ == TextEncoding::Utf8 ? CP_UTF8 : CP_ACP);
}

void TextStream::DetectEncoding() {
  // Called with the first piece in carry_: the mark decides, then is dropped.
  started_ = true;
  if (detect_) {
    if (carry_.starts_with(kUnicodeMark)) encoding_ = TextEncoding::Unicode;
    else if (carry_.starts_with(kUtf8Mark)) encoding_ = TextEncoding::Utf8;
    else encoding_ = TextEncoding::Ansi;
  }
  std::string_view mark = MarkOf(encoding_);
  if (!mark.empty() && carry_.starts_with(mark)) carry_.erase(0, mark.size());
}

Result<bool> TextStream::Fill() {
  if (file_end_) return false;
  // Decoded text already read is dropped before more is added.
  pending_.erase(0, offset_);
  offset_ = 0;
  std::string piece(kPieceBytes, '\0');
  ssize_t got;
  do {
    got = ::read(descriptor_, piece.data(), piece.size());
  } while (got < 0 && errno == EINTR);
  if (got < 0) return ErrorNumber::DeviceIoError;
  piece.resize(static_cast<size_t>(got));
  file_end_ = got == 0;
  if (!started_) {
    carry_ += piece;
    // A mark needs its three bytes: a shorter first piece waits unless the file ends.
    if (carry_.size() < 3 && !file_end_) return true;
    DetectEncoding();
    piece.clear();
  }
  Decode(piece, file_end_);
  return true;
}

Result<void> TextStream::Ensure(size_t count) {
  while (pending_.size() - offset_ < count && !file_end_) {
    if (pending_.size() - offset_ > kMaxReadCharacters) return TooLong();
    TRY(Fill());
  }
  return {};
}

Result<bool> TextStream::AtEnd() {
  TRY(Ensure(1));
  return pending_.size() == offset_;
}

void TextStream::Track(std::u16string_view text) {
  for (char16_t c : text) {
    if (c == u'\n') {
      if (!last_was_cr_) ++line_;
      column_ = 1;
    } else if (c == u'\r') {
      ++line_;
      column_ = 1;
    } else {
      ++column_;
    }
    last_was_cr_ = c == u'\r';
  }
}

std::u16string TextStream::Take(size_t count) {
  count = std::min(count, pending_.size() - offset_);
  std::u16string taken = pending_.substr(offset_, count);
  offset_ += count;
  Track(taken);
  return taken;
}

Result<Variant> TextStream::ReadLine(const DispatchArguments&) {
  TRY(RequireMode(Mode::Reading));
  if (TRY(AtEnd())) return ErrorNumber::InputPastEndOfFile;
  size_t searched = offset_;
  for (;;) {
    size_t end = pending_.find_first_of(u"\r\n", searched);
    if (end != std::u16string::npos) {
      // A CR at the end of what is decoded may be the first half of CR LF.
      if (pending_[end] == u'\r' && end + 1 == pending_.size() && !file_end_) {
        size_t before = end - offset_;
        TRY(Fill());
        searched = offset_ + before;
        continue;
      }
      std::u16string line = pending_.substr(offset_, end - offset_);
      size_t ending = pending_[end] == u'\r' && end + 1 < pending_.size() && pending_[end + 1] == u'\n' ? 2 : 1;
      Take(end - offset_ + ending);
      return Variant::FromString(line);
    }
    if (file_end_) return Variant::FromString(Take(pending_.size() - offset_));
    if (pending_.size() - offset_ > kMaxReadCharacters) return TooLong();
    size_t before = pending_.size() - offset_;
    TRY(Fill());
    searched = offset_ + before;
  }
}

Result<Variant> TextStream::ReadAll(const DispatchArguments&) {
  TRY(RequireMode(Mode::Reading));
  if (TRY(AtEnd())) return ErrorNumber::InputPastEndOfFile;
  while (!file_end_) {
    if (pending_.size() - offset_ > kMaxReadCharacters) return TooLong();
    TRY(Fill());
  }
  if (pending_.size() - offset_ > kMaxReadCharacters) return TooLong();
  return Variant::FromString(Take(pending_.size() - offset_));
}

Result<Variant> TextStream::Read(const DispatchArguments& arguments) {
  TRY(RequireMode(Mode::Reading));
  int32_t count = TRY(ToInt32(arguments[0]));
  if (count <= 0) return ErrorNumber::InvalidProcedureCall;
  if (static_cast<size_t>(count) > kMaxReadCharacters) return TooLong();
  if (TRY(AtEnd())) return ErrorNumber::InputPastEndOfFile;
  TRY(Ensure(static_cast<size_t>(count)));
  return Variant::FromString(Take(static_cast<size_t>(count)));
}

Result<Variant> TextStream::Skip(const DispatchArguments& arguments) {
  TRY(RequireMode(Mode::Reading));
  int32_t count = TRY(ToInt32(arguments[0]));
  if (count < 0) return ErrorNumber::InvalidProcedureCall;
  for (int32_t left = count; left > 0;) {
    if (TRY(AtEnd())) return ErrorNumber::InputPastEndOfFile;
    size_t step = std::min<size_t>(left, pending_.size() - offset_);
    Take(step);
    left -= static_cast<int32_t>(step);
  }
  return Variant();
}

Result<Variant> TextStream::SkipLine(const DispatchArguments& arguments) {
  TRY(ReadLine(arguments));
  return Variant();
}

Result<Variant> TextStream::AtEndOfStream(const DispatchArguments&) {
  TRY(RequireMode(Mode::Reading));
  return Variant::FromBool(TRY(AtEnd()));
}

Result<Variant> TextStream::AtEndOfLine(const DispatchArguments&) {
  TRY(RequireMode(Mode::Reading));
  if (TRY(AtEnd())) return Variant::FromBool(true);
  char16_t next = pending_[offset_];
  return Variant::FromBool(next == u'\r' || next == u'\n');
}

Result<void> TextStream::Flush() {
  size_t written = 0;
  while (written < output_.size()) {
    ssize_t put = ::write(descriptor_, output_.data() + written, output_.size() - written);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      output_.clear();
      return errno == ENOSPC ? ErrorNumber::DiskFull : ErrorNumber::DeviceIoError;
    }
    written += static_cast<size_t>(put);
  }
  output_.clear();
  return {};
}

Result<void> TextStream::WriteText(std::u16string_view text) {
  TRY(RequireMode(Mode::Writing));
  if (encoding_ == TextEncoding::Unicode) {
    for (char16_t c : text) {
      output_ += static_cast<char>(c & 0xFF);
      output_ += static_cast<char>(c >> 8);
    }
  } else {
    output_ += TextToBytes(text, encoding_ == TextEncoding::Utf8 ? CP_UTF8 : CP_ACP);
  }
  Track(text);
  if (output_.size() >= kPieceBytes) TRY(Flush());
  return {};
}

Result<Variant> TextStream::Write(const DispatchArguments& arguments) {
  Bstr text = TRY(ToBstr(arguments[0]));
  TRY(WriteText(text.view()));
  return Variant();
}

Result<Variant> TextStream::WriteLine(const DispatchArguments& arguments) {
  std::u16string text;
  if (arguments.size() > 0 && !arguments.IsMissing(0)) text = TRY(ToBstr(arguments[0])).view();
  text += u"\r\n";
  TRY(WriteText(text));
  return Variant();
}

Result<Variant> TextStream::WriteBlankLines(const DispatchArguments& arguments) {
  int32_t count = TRY(ToInt32(arguments[0]));
  if (count < 0) return ErrorNumber::InvalidProcedureCall;
  for (int32_t i = 0; i < count; ++i) TRY(WriteText(u"\r\n"));
  return Variant();
}

Result<Variant> TextStream::Close(const DispatchArguments&) {
  if (descriptor_ < 0) return Variant();
  Result<void> flushed = Flush();
  int descriptor = std::exchange(descriptor_, -1);
  bool closed = ::close(descriptor) == 0;
  TRY(std::move(flushed));
  if (!closed && mode_ == Mode::Writing) return ErrorNumber::DeviceIoError;
  return Variant();
}

Result<Variant> TextStream::Line(const DispatchArguments&) { return Variant::FromI4(line_); }
Result<Variant> TextStream::Column(const DispatchArguments&) { return Variant::FromI4(column_); }

#include "platform/ado/stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "platform/ado/ado_arguments.h"
#include "platform/ado/ado_error.h"
#include "platform/ado/ado_identifiers.h"
#include "platform/automation/safearray.h"
#include "platform/automation/text_case.h"
#include "platform/system/code_page.h"
#include "platform/system/file_path.h"

namespace {

constexpr std::u16string_view kSource = u"ADODB.Stream";
constexpr int32_t adTypeBinary = 1;
constexpr int32_t adTypeText = 2;
constexpr int32_t adReadAll = -1;
constexpr int32_t adReadLine = -2;
constexpr int32_t adWriteLine = 1;
constexpr int32_t adSaveCreateOverWrite = 2;
constexpr int32_t adCR = 13;
constexpr int32_t adLF = 10;
constexpr uint32_t kUtf16 = 1200;

struct CharsetName {
  std::u16string_view name;
  uint32_t code_page;
};

constexpr CharsetName kCharsets[] = {
    {u"Unicode", kUtf16},           {u"utf-16", kUtf16},
    {u"utf-16le", kUtf16},          {u"utf-8", CP_UTF8},
    {u"windows-1252", kCodePageWindows1252}, {u"iso-8859-1", kCodePageLatin1},
    {u"us-ascii", kCodePageAscii},  {u"ascii", kCodePageAscii},
};

std::string_view ByteOrderMark(uint32_t code_page) {
  if (code_page == kUtf16) return "\xFF\xFE";
  if (code_page == CP_UTF8) return "\xEF\xBB\xBF";
  return {};
}

Error FileError(AdoError error) { return MakeAdoError(error, kSource); }

}  // namespace

void* Stream::QueryOtherInterface(REFIID iid) {
  return iid == kStreamInterfaceId ? static_cast<IDispatch*>(this) : nullptr;
}

std::span<const DispatchMember<Stream>> Stream::Members() {
  static constexpr DispatchMember<Stream> kMembers[] = {
      {u"Open", 1, kMethod, 0, 5, &Stream::Open, u"Source,Mode,Options,UserName,Password"},
      {u"Close", 2, kMethod, 0, 0, &Stream::Close},
      {u"State", 3, kPropertyGet, 0, 0, &Stream::GetState},
      {u"Type", 4, kPropertyGet, 0, 0, &Stream::GetType},
      {u"Type", 4, kPropertyPut, 0, 0, &Stream::LetType},
      {u"Charset", 5, kPropertyGet, 0, 0, &Stream::GetCharset},
      {u"Charset", 5, kPropertyPut, 0, 0, &Stream::LetCharset},
      {u"Position", 6, kPropertyGet, 0, 0, &Stream::GetPosition},
      {u"Position", 6, kPropertyPut, 0, 0, &Stream::LetPosition},
      {u"Size", 7, kPropertyGet, 0, 0, &Stream::GetSize},
      {u"EOS", 8, kPropertyGet, 0, 0, &Stream::GetEos},
      {u"SetEOS", 9, kMethod, 0, 0, &Stream::SetEos},
      {u"LineSeparator", 10, kPropertyGet, 0, 0, &Stream::GetLineSeparator},
      {u"LineSeparator", 10, kPropertyPut, 0, 0, &Stream::LetLineSeparator},
      {u"Read", 11, kMethod, 0, 1, &Stream::Read, u"NumBytes"},
      {u"ReadText", 12, kMethod, 0, 1, &Stream::ReadText, u"NumChars"},
      {u"Write", 13, kMethod, 1, 1, &Stream::Write, u"Buffer"},
      {u"WriteText", 14, kMethod, 1, 2, &Stream::WriteText, u"Data,Options"},
      {u"SkipLine", 15, kMethod, 0, 0, &Stream::SkipLine},
      {u"LoadFromFile", 16, kMethod, 1, 1, &Stream::LoadFromFile, u"FileName"},
      {u"SaveToFile", 17, kMethod, 1, 2, &Stream::SaveToFile, u"FileName,Options"},
      {u"CopyTo", 18, kMethod, 1, 2, &Stream::CopyTo, u"DestStream,CharNumber"},
      {u"Flush", 19, kMethod, 0, 0, &Stream::Flush},
  };
  return kMembers;
}

Result<void> Stream::RequireOpen() const {
  if (!open_) return MakeAdoError(AdoError::ObjectClosed, kSource);
  return {};
}

Result<void> Stream::RequireType(int32_t type) const {
  TRY(RequireOpen());
  if (type_ != type) return MakeAdoError(AdoError::IllegalOperation, kSource);
  return {};
}

size_t Stream::UnitBytes() const { return code_page_ == kUtf16 ? 2 : 1; }

Result<void> Stream::WriteBytes(const uint8_t* data, size_t count) {
  if (position_ + count > kMaxStreamBytes) {
    return Error::FromHresult(E_OUTOFMEMORY, u"A stream holds at most 256 MiB.", std::u16string(kSource));
  }
  if (position_ + count > bytes_.size()) bytes_.resize(position_ + count);
  std::copy(data, data + count, bytes_.begin() + static_cast<ptrdiff_t>(position_));
  position_ += count;
  return {};
}

Result<std::u16string> Stream::DecodeText(size_t begin, size_t end) const {
  const char* data = reinterpret_cast<const char*>(bytes_.data());
  if (code_page_ != kUtf16) return BytesToText(std::string_view(data + begin, end - begin), code_page_);
  std::u16string text;
  text.reserve((end - begin) / 2);
  for (size_t i = begin; i + 1 < end; i += 2) {
    text += static_cast<char16_t>(bytes_[i] | (bytes_[i + 1] << 8));
  }
  return text;
}

Result<std::string> Stream::EncodeText(std::u16string_view text) const {
  if (code_page_ != kUtf16) return TextToBytes(text, code_page_);
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

Result<Variant> Stream::Open(const DispatchArguments& arguments) {
  if (open_) return MakeAdoError(AdoError::ObjectOpen, kSource);
  // Streams here live in memory; a Source (a URL or a record) names nothing this system serves.
  if (IsPresent(arguments, 0)) return MakeAdoError(AdoError::InvalidArgument, kSource);
  open_ = true;
  bytes_.clear();
  position_ = 0;
  return Variant();
}

Result<Variant> Stream::Close(const DispatchArguments&) {
  TRY(RequireOpen());
  open_ = false;
  bytes_.clear();
  bytes_.shrink_to_fit();
  position_ = 0;
  return Variant();
}

Result<Variant> Stream::GetState(const DispatchArguments&) { return Variant::FromI4(open_ ? 1 : 0); }
Result<Variant> Stream::GetType(const DispatchArguments&) { return Variant::FromI4(type_); }

Result<Variant> Stream::LetType(const DispatchArguments& arguments) {
  int32_t type = TRY(ToInt32(arguments.value()));
  if (type != adTypeBinary && type != adTypeText) return MakeAdoError(AdoError::InvalidArgument, kSource);
  if (open_ && position_ != 0) return MakeAdoError(AdoError::IllegalOperation, kSource);
  type_ = type;
  return Variant();
}

Result<Variant> Stream::GetCharset(const DispatchArguments&) { return Variant::FromString(charset_); }

Result<Variant> Stream::LetCharset(const DispatchArguments& arguments) {
  Bstr name = TRY(ToBstr(arguments.value()));
  if (open_ && position_ != 0) return MakeAdoError(AdoError::IllegalOperation, kSource);
  std::u16string wanted = ToUpper(name.view());
  for (const CharsetName& charset : kCharsets) {
    if (ToUpper(charset.name) != wanted) continue;
    charset_ = name.view();
    code_page_ = charset.code_page;
    return Variant();
  }
  return MakeAdoError(AdoError::InvalidArgument, kSource);
}

Result<Variant> Stream::GetPosition(const DispatchArguments&) {
  TRY(RequireOpen());
  return Variant::FromI4(static_cast<int32_t>(position_));
}

Result<Variant> Stream::LetPosition(const DispatchArguments& arguments) {
  TRY(RequireOpen());
  int32_t position = TRY(ToInt32(arguments.value()));
  if (position < 0 || static_cast<size_t>(position) > bytes_.size()) {
    return MakeAdoError(AdoError::InvalidArgument, kSource);
  }
  position_ = static_cast<size_t>(position);
  return Variant();
}

Result<Variant> Stream::GetSize(const DispatchArguments&) {
  TRY(RequireOpen());
  return Variant::FromI4(static_cast<int32_t>(bytes_.size()));
}

Result<Variant> Stream::GetEos(const DispatchArguments&) {
  TRY(RequireOpen());
  return Variant::FromBool(position_ >= bytes_.size());
}

Result<Variant> Stream::SetEos(const DispatchArguments&) {
  TRY(RequireOpen());
  bytes_.resize(position_);
  return Variant();
}

Result<Variant> Stream::GetLineSeparator(const DispatchArguments&) { return Variant::FromI4(line_separator_); }

Result<Variant> Stream::LetLineSeparator(const DispatchArguments& arguments) {
  int32_t separator = TRY(ToInt32(arguments.value()));
  if (separator != -1 && separator != adCR && separator != adLF) {
    return MakeAdoError(AdoError::InvalidArgument, kSource);
  }
  line_separator_ = separator;
  return Variant();
}

Result<Variant> Stream::Read(const DispatchArguments& arguments) {
  TRY(RequireType(adTypeBinary));
  int32_t count = TRY(OptionalInt32(arguments, 0, adReadAll));
  if (count < adReadAll) return MakeAdoError(AdoError::InvalidArgument, kSource);
  size_t available = bytes_.size() - position_;
  size_t taken = count == adReadAll ? available : std::min(available, static_cast<size_t>(count));
  if (taken == 0) return Variant::Null();
  SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<uint32_t>(taken));
  if (array == nullptr) return ErrorNumber::OutOfMemory;
  std::copy_n(bytes_.begin() + static_cast<ptrdiff_t>(position_), taken, static_cast<uint8_t*>(array->pvData));
  position_ += taken;
  return Variant::FromArray(VT_UI1, array);
}

void Stream::SkipByteOrderMark() {
  std::string_view mark = ByteOrderMark(code_page_);
  if (position_ == 0 && !mark.empty() && bytes_.size() >= mark.size() &&
      std::equal(mark.begin(), mark.end(), reinterpret_cast<const char*>(bytes_.data()))) {
    position_ = mark.size();
  }
}

Result<std::u16string> Stream::ReadLine() {
  SkipByteOrderMark();
  std::u16string rest = TRY(DecodeText(position_, bytes_.size()));
  std::u16string_view separator = line_separator_ == adCR ? u"\r" : line_separator_ == adLF ? u"\n" : u"\r\n";
  size_t found = rest.find(separator);
  size_t consumed = found == std::u16string::npos ? rest.size() : found + separator.size();
  position_ += TRY(EncodeText(std::u16string_view(rest).substr(0, consumed))).size();
  rest.resize(std::min(found, rest.size()));
  return rest;
}

Result<Variant> Stream::ReadText(const DispatchArguments& arguments) {
  TRY(RequireType(adTypeText));
  int32_t count = TRY(OptionalInt32(arguments, 0, adReadAll));
  if (count < adReadLine) return MakeAdoError(AdoError::InvalidArgument, kSource);
  SkipByteOrderMark();
  if (count == adReadLine) return Variant::FromString(TRY(ReadLine()));
  // At most four bytes a character (UTF-8); the position moves by what the characters read take.
  size_t end = bytes_.size();
  if (count >= 0) end = std::min(end, position_ + static_cast<size_t>(count) * 4);
  std::u16string text = TRY(DecodeText(position_, end));
  if (count >= 0 && text.size() > static_cast<size_t>(count)) text.resize(static_cast<size_t>(count));
  position_ = count == adReadAll ? bytes_.size() : position_ + TRY(EncodeText(text)).size();
  return Variant::FromString(text);
}

Result<Variant> Stream::Write(const DispatchArguments& arguments) {
  TRY(RequireType(adTypeBinary));
  VARIANT buffer = PeekValue(arguments[0]);
  if (buffer.vt != (VT_ARRAY | VT_UI1) || buffer.parray == nullptr) {
    return MakeAdoError(AdoError::InvalidArgument, kSource);
  }
  TRY(WriteBytes(static_cast<const uint8_t*>(buffer.parray->pvData), SafeArrayElementCount(buffer.parray)));
  return Variant();
}

Result<Variant> Stream::WriteText(const DispatchArguments& arguments) {
  TRY(RequireType(adTypeText));
  Bstr data = TRY(ToBstr(arguments[0]));
  int32_t options = TRY(OptionalInt32(arguments, 1, 0));
  std::u16string text(data.view());
  if (options == adWriteLine) text += line_separator_ == adCR ? u"\r" : line_separator_ == adLF ? u"\n" : u"\r\n";
  std::string encoded = TRY(EncodeText(text));
  if (position_ == 0 && bytes_.empty()) encoded.insert(0, ByteOrderMark(code_page_));
  TRY(WriteBytes(reinterpret_cast<const uint8_t*>(encoded.data()), encoded.size()));
  return Variant();
}

Result<Variant> Stream::SkipLine(const DispatchArguments&) {
  TRY(RequireType(adTypeText));
  TRY(ReadLine());
  return Variant();
}

Result<Variant> Stream::LoadFromFile(const DispatchArguments& arguments) {
  TRY(RequireOpen());
  Bstr name = TRY(ToBstr(arguments[0]));
  std::string path = TRY(NativePath(name.view()));
  int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return FileError(AdoError::OpenFile);
  struct stat status {};
  if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) ||
      static_cast<uint64_t>(status.st_size) > kMaxStreamBytes) {
    ::close(descriptor);
    return FileError(AdoError::OpenFile);
  }
  std::vector<uint8_t> bytes;
  bytes.reserve(static_cast<size_t>(status.st_size));
  uint8_t piece[65536];
  for (;;) {
    ssize_t got = ::read(descriptor, piece, sizeof(piece));
    if (got < 0) {
      ::close(descriptor);
      return FileError(AdoError::OpenFile);
    }
    if (got == 0) break;
    if (bytes.size() + static_cast<size_t>(got) > kMaxStreamBytes) {
      ::close(descriptor);
      return FileError(AdoError::OpenFile);
    }
    bytes.insert(bytes.end(), piece, piece + got);
  }
  ::close(descriptor);
  bytes_ = std::move(bytes);
  position_ = 0;
  return Variant();
}

Result<Variant> Stream::SaveToFile(const DispatchArguments& arguments) {
  TRY(RequireOpen());
  Bstr name = TRY(ToBstr(arguments[0]));
  int32_t options = TRY(OptionalInt32(arguments, 1, 1));  // adSaveCreateNotExist
  std::string path = TRY(NativePath(name.view()));
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_TRUNC;
  if (options != adSaveCreateOverWrite) flags |= O_EXCL;
  int descriptor = ::open(path.c_str(), flags, 0644);
  if (descriptor < 0) return FileError(AdoError::WriteFile);
  size_t written = 0;
  while (written < bytes_.size()) {
    ssize_t put = ::write(descriptor, bytes_.data() + written, bytes_.size() - written);
    if (put <= 0) {
      ::close(descriptor);
      return FileError(AdoError::WriteFile);
    }
    written += static_cast<size_t>(put);
  }
  if (::close(descriptor) != 0) return FileError(AdoError::WriteFile);
  return Variant();
}

Result<Variant> Stream::CopyTo(const DispatchArguments& arguments) {
  TRY(RequireOpen());
  IDispatch* target_object = ObjectArgument(arguments[0]);
  ComPtr<IDispatch> own = target_object ? ComPtr<IDispatch>(target_object).As<IDispatch>(kStreamInterfaceId)
                                        : ComPtr<IDispatch>();
  if (!own) return MakeAdoError(AdoError::InvalidArgument, kSource);
  Stream* target = static_cast<Stream*>(own.get());
  TRY(target->RequireOpen());
  int32_t count = TRY(OptionalInt32(arguments, 1, -1));
  size_t available = bytes_.size() - position_;
  size_t taken = count < 0 ? available : std::min(available, static_cast<size_t>(count) * (type_ == adTypeText ? UnitBytes() : 1));
  std::vector<uint8_t> piece(bytes_.begin() + static_cast<ptrdiff_t>(position_),
                             bytes_.begin() + static_cast<ptrdiff_t>(position_ + taken));
  TRY(target->WriteBytes(piece.data(), piece.size()));
  position_ += taken;
  return Variant();
}

// The stream lives in memory: there is nothing to flush.
Result<Variant> Stream::Flush(const DispatchArguments&) {
  TRY(RequireOpen());
  return Variant();
}

#pragma once
// ADODB.Stream: bytes in memory, read and written as binary (Read, Write: byte arrays, what
// Response.BinaryWrite takes) or as text in a Charset ("Unicode" — UTF-16LE, the default —
// "utf-8", "windows-1252", "iso-8859-1", "us-ascii"). Text written at the start of an empty
// stream begins with the charset's byte-order mark (Unicode and UTF-8), and ReadText at the start
// skips one. LoadFromFile and SaveToFile move whole files ('/' and '\' both separate folders);
// a stream holds at most kMaxStreamBytes: a larger file or write fails instead of exhausting
// memory.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/com/dispatch_object.h"

inline constexpr size_t kMaxStreamBytes = size_t{256} << 20;

class Stream : public DispatchObject<Stream> {
 public:
  static std::span<const DispatchMember<Stream>> Members();
  std::u16string_view TypeName() override { return u"Stream"; }

 private:
  std::u16string_view ErrorSource() const override { return u"ADODB.Stream"; }
  void* QueryOtherInterface(REFIID iid) override;
  Result<void> RequireOpen() const;
  Result<void> RequireType(int32_t type) const;
  Result<void> WriteBytes(const uint8_t* data, size_t count);
  Result<std::u16string> DecodeText(size_t begin, size_t end) const;
  Result<std::string> EncodeText(std::u16string_view text) const;
  // The bytes of one character unit of the charset (2 for Unicode, 1 otherwise).
  size_t UnitBytes() const;
  void SkipByteOrderMark();
  // Reads up to the next line separator (which is consumed, not returned).
  Result<std::u16string> ReadLine();

  Result<Variant> Open(const DispatchArguments& arguments);
  Result<Variant> Close(const DispatchArguments& arguments);
  Result<Variant> GetState(const DispatchArguments& arguments);
  Result<Variant> GetType(const DispatchArguments& arguments);
  Result<Variant> LetType(const DispatchArguments& arguments);
  Result<Variant> GetCharset(const DispatchArguments& arguments);
  Result<Variant> LetCharset(const DispatchArguments& arguments);
  Result<Variant> GetPosition(const DispatchArguments& arguments);
  Result<Variant> LetPosition(const DispatchArguments& arguments);
  Result<Variant> GetSize(const DispatchArguments& arguments);
  Result<Variant> GetEos(const DispatchArguments& arguments);
  Result<Variant> SetEos(const DispatchArguments& arguments);
  Result<Variant> GetLineSeparator(const DispatchArguments& arguments);
  Result<Variant> LetLineSeparator(const DispatchArguments& arguments);
  Result<Variant> Read(const DispatchArguments& arguments);
  Result<Variant> ReadText(const DispatchArguments& arguments);
  Result<Variant> Write(const DispatchArguments& arguments);
  Result<Variant> WriteText(const DispatchArguments& arguments);
  Result<Variant> SkipLine(const DispatchArguments& arguments);
  Result<Variant> LoadFromFile(const DispatchArguments& arguments);
  Result<Variant> SaveToFile(const DispatchArguments& arguments);
  Result<Variant> CopyTo(const DispatchArguments& arguments);
  Result<Variant> Flush(const DispatchArguments& arguments);

  bool open_ = false;
  int32_t type_ = 2;              // adTypeText
  std::u16string charset_ = u"Unicode";
  uint32_t code_page_ = 1200;     // UTF-16LE
  int32_t line_separator_ = -1;   // adCRLF
  std::vector<uint8_t> bytes_;
  size_t position_ = 0;
};

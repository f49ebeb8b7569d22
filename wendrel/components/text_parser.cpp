#include "wendrel/components/text_parser.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>

#include "platform/automation/conversion.h"
#include "wendrel/com/class_identities.h"
#include "wendrel/common/callback_address.h"
#include "wendrel/common/narrow_text.h"
#include "wendrel/components/marked_regions.h"

namespace {

constexpr IID kTextParserEventsId = wendrel_ids::EventInterfaceId(wendrel_ids::kTextParser);

// 8-bit text from an automation value: the ANSI code page, cut at the first NUL.
Result<std::string> MarkText(const VARIANT& value) {
  std::string text = TRY(NarrowTextOf(value));
  text.resize(std::min(text.size(), text.find('\0')));
  return text;
}

enum class FileRead { Read, CannotOpen, TooLarge };

// The bytes of a regular file up to the first NUL. Anything that is not a regular file (a
// FIFO would block, a device could be endless) counts as a file that cannot be opened.
FileRead ReadTextFile(const std::string& path, std::string* text) {
  if (path.find('\0') != std::string::npos) return FileRead::CannotOpen;
  int file = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (file < 0) return FileRead::CannotOpen;
  struct stat status {};
  if (fstat(file, &status) != 0 || !S_ISREG(status.st_mode)) {
    close(file);
    return FileRead::CannotOpen;
  }
  text->clear();
  char block[65536];
  FileRead outcome = FileRead::Read;
  for (;;) {
    ssize_t got = read(file, block, sizeof(block));
    if (got <= 0) break;
    if (text->size() + static_cast<size_t>(got) > kMaxMarkedTextBytes) {
      outcome = FileRead::TooLarge;
      break;
    }
    text->append(block, static_cast<size_t>(got));
  }
  close(file);
  text->resize(std::min(text->size(), text->find('\0')));
  return outcome;
}

// Owns the BSTR a handler receives: whatever the handler leaves in it is freed at the end.
class RegionString {
 public:
  explicit RegionString(std::string_view region) {
    std::u16string text = BytesToText(region, CP_ACP);
    value_ = SysAllocStringLen(text.data(), static_cast<uint32_t>(text.size()));
    if (value_ == nullptr && !text.empty()) throw std::bad_alloc();
  }
  ~RegionString() { SysFreeString(value_); }
  RegionString(const RegionString&) = delete;
  RegionString& operator=(const RegionString&) = delete;

  BSTR* address() { return &value_; }
  std::string Bytes() const { return TextToBytes(BstrView(value_), CP_ACP); }

 private:
  BSTR value_ = nullptr;
};

}  // namespace

TextParser::TextParser()
    : parse_events_(ConnectionPoint::Create(kTextParserEventsId, &event_source_)) {}

TextParser::~TextParser() { parse_events_->DetachContainer(); }

std::span<const DispatchMember<TextParser>> TextParser::Members() {
  using T = TextParser;
  static constexpr DispatchMember<T> kMembers[] = {
      {u"StartMark", 0x60020000, kPropertyGet, 0, 0, &T::GetStartMark},
      {u"StartMark", 0x60020000, kPropertyPut, 0, 0, &T::PutStartMark},
      {u"EndMark", 0x60020002, kPropertyGet, 0, 0, &T::GetEndMark},
      {u"EndMark", 0x60020002, kPropertyPut, 0, 0, &T::PutEndMark},
      {u"ParseFile", 0x60020004, kMethod, 1, 1, &T::ParseFile, u"FileName"},
      {u"ParseString", 0x60020005, kMethod, 1, 1, &T::ParseString, u"InputString"},
      {u"Content", 0x60020006, kPropertyGet, 0, 0, &T::GetContent},
      {u"SetParseCallback", 0, kMethod, 2, 2, &T::SetParseCallback, u"CallbackFn,CallbackParam"},
  };
  return kMembers;
}

void* TextParser::QueryOtherInterface(REFIID iid) {
  if (iid == IID_IConnectionPointContainer) {
    return static_cast<IConnectionPointContainer*>(&event_source_);
  }
  if (iid == IID_IPersist) return static_cast<IPersist*>(&event_source_);
  return nullptr;
}

HRESULT TextParser::EventSource::QueryInterface(REFIID iid, void** object) {
  return owner_.QueryInterface(iid, object);
}

HRESULT TextParser::EventSource::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
  if (point == nullptr) return E_POINTER;
  *point = nullptr;
  if (iid != kTextParserEventsId) return CONNECT_E_NOCONNECTION;
  owner_.parse_events_->AddRef();
  *point = owner_.parse_events_.get();
  return S_OK;
}

HRESULT TextParser::EventSource::GetClassID(CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  *clsid = wendrel_ids::ClassId(wendrel_ids::kTextParser);
  return S_OK;
}

Result<Variant> TextParser::GetStartMark(const DispatchArguments&) {
  return NarrowTextVariant(start_mark_);
}

Result<Variant> TextParser::PutStartMark(const DispatchArguments& arguments) {
  start_mark_ = TRY(MarkText(arguments.value()));
  return Variant();
}

Result<Variant> TextParser::GetEndMark(const DispatchArguments&) {
  return NarrowTextVariant(end_mark_);
}

Result<Variant> TextParser::PutEndMark(const DispatchArguments& arguments) {
  end_mark_ = TRY(MarkText(arguments.value()));
  return Variant();
}

Result<Variant> TextParser::ParseFile(const DispatchArguments& arguments) {
  Bstr name = TRY(ToBstr(arguments[0]));
  std::string text;
  switch (ReadTextFile(TextToBytes(name.view(), CP_UTF8), &text)) {
    case FileRead::CannotOpen: return Variant::FromString(u"");
    case FileRead::TooLarge: return ErrorNumber::OutOfMemory;
    case FileRead::Read: break;
  }
  return ParseIntoContent(text);
}

Result<Variant> TextParser::ParseString(const DispatchArguments& arguments) {
  Bstr input = TRY(ToBstr(arguments[0]));
  if (input.view().size() > kMaxMarkedTextBytes) return ErrorNumber::OutOfMemory;
  std::string text = TextToBytes(input.view(), CP_ACP);
  text.resize(std::min(text.size(), text.find('\0')));
  return ParseIntoContent(text);
}

Result<Variant> TextParser::GetContent(const DispatchArguments&) {
  return NarrowTextVariant(content_);
}

Result<Variant> TextParser::SetParseCallback(const DispatchArguments& arguments) {
  int64_t function = TRY(CallbackAddressOf(arguments[0]));
  int64_t parameter = TRY(CallbackAddressOf(arguments[1]));
  callback_ = reinterpret_cast<TextParseCallback>(static_cast<uintptr_t>(function));
  callback_parameter_ = static_cast<intptr_t>(parameter);
  return Variant();
}

Result<Variant> TextParser::ParseIntoContent(std::string_view text) {
  // A handler may drop the last reference to the parser, or change the marks, while the parse
  // runs: the parser stays alive until the end and keeps the marks it started with.
  ComPtr<TextParser> keep_alive(this);
  std::string start_mark = start_mark_;
  std::string end_mark = end_mark_;
  content_ = TRY(ExpandMarkedRegions(
      text, start_mark, end_mark, [this](int32_t start, int32_t end, std::string_view region) {
        return AnswerRegion(start, end, region);
      }));
  return NarrowTextVariant(content_);
}

std::string TextParser::AnswerRegion(int32_t start_index, int32_t end_index,
                                     std::string_view region) {
  RegionString answer(region);
  if (callback_ != nullptr) {
    callback_(start_index, end_index, answer.address(), callback_parameter_);
    return answer.Bytes();
  }
  VARIANT arguments[3] = {};
  arguments[0].vt = VT_I4;
  arguments[0].lVal = start_index;
  arguments[1].vt = VT_I4;
  arguments[1].lVal = end_index;
  arguments[2].vt = VT_BYREF | VT_BSTR;
  arguments[2].pbstrVal = answer.address();
  // A failing sink leaves the region as it answered it; the parse has no failures to report.
  (void)parse_events_->Fire(kParseEventDispid, {arguments, 3});
  return answer.Bytes();
}

IUnknown* CreateTextParser() { return static_cast<IDispatch*>(new (std::nothrow) TextParser()); }

#include "apps/vbsrun/wscript_object.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/automation/conversion.h"
#include "platform/com/creation.h"
#include "platform/com/enum_variant.h"
#include "platform/scripting/active_script.h"
#include "platform/system/code_page.h"

namespace {

// The longest Sleep a script may ask for: a day.
constexpr int32_t kMaxSleepMilliseconds = 24 * 60 * 60 * 1000;

// The text Echo prints for one value: Null as "Null", objects by their default value.
Result<std::u16string> EchoText(const VARIANT& value) {
  VARIANT shallow = PeekValue(value);
  if (shallow.vt == VT_NULL) return std::u16string(u"Null");
  Bstr text = TRY(ToBstr(shallow));
  return std::u16string(text.view());
}

std::u16string FileNameOf(std::u16string_view path) {
  size_t slash = path.rfind(u'/');
  return std::u16string(slash == std::u16string_view::npos ? path : path.substr(slash + 1));
}

// WScript.Arguments: Item(i) (the default), Count, Length and For Each.
class ArgumentList : public DispatchObject<ArgumentList> {
 public:
  explicit ArgumentList(std::vector<std::u16string> values) : values_(std::move(values)) {}
  static std::span<const DispatchMember<ArgumentList>> Members() {
    static constexpr DispatchMember<ArgumentList> kMembers[] = {
        {u"Item", DISPID_VALUE, kMethod | kPropertyGet, 1, 1, &ArgumentList::Item, u"Index"},
        {u"Count", 1, kMethod | kPropertyGet, 0, 0, &ArgumentList::Count},
        {u"Length", 2, kPropertyGet, 0, 0, &ArgumentList::Count},
        {u"_NewEnum", DISPID_NEWENUM, kMethod | kPropertyGet, 0, 0, &ArgumentList::NewEnum},
    };
    return kMembers;
  }

 private:
  Result<Variant> Item(const DispatchArguments& arguments) {
    int32_t index = TRY(ToInt32(arguments[0]));
    if (index < 0 || static_cast<size_t>(index) >= values_.size()) return ErrorNumber::SubscriptOutOfRange;
    return Variant::FromString(values_[static_cast<size_t>(index)]);
  }
  Result<Variant> Count(const DispatchArguments&) {
    return Variant::FromI4(static_cast<int32_t>(values_.size()));
  }
  Result<Variant> NewEnum(const DispatchArguments&) {
    std::vector<Variant> values;
    for (const std::u16string& value : values_) values.push_back(Variant::FromString(value));
    return EnumeratorVariant(std::move(values));
  }

  std::vector<std::u16string> values_;
};

// WScript.StdOut and StdErr: Write, WriteLine and WriteBlankLines.
class TextOutput : public DispatchObject<TextOutput> {
 public:
  explicit TextOutput(std::FILE* stream) : stream_(stream) {}
  static std::span<const DispatchMember<TextOutput>> Members() {
    static constexpr DispatchMember<TextOutput> kMembers[] = {
        {u"Write", 1, kMethod, 1, 1, &TextOutput::Write, u"Text"},
        {u"WriteLine", 2, kMethod, 0, 1, &TextOutput::WriteLine, u"Text"},
        {u"WriteBlankLines", 3, kMethod, 1, 1, &TextOutput::WriteBlankLines, u"Lines"},
    };
    return kMembers;
  }

 private:
  Result<Variant> Write(const DispatchArguments& arguments) {
    Bstr text = TRY(ToBstr(arguments[0]));
    WriteText(stream_, text.view());
    return Variant();
  }
  Result<Variant> WriteLine(const DispatchArguments& arguments) {
    if (!arguments.IsMissing(0)) TRY(Write(arguments));
    WriteText(stream_, u"\n");
    return Variant();
  }
  Result<Variant> WriteBlankLines(const DispatchArguments& arguments) {
    int32_t lines = std::clamp(TRY(ToInt32(arguments[0])), 0, 100000);
    for (int32_t i = 0; i < lines; ++i) WriteText(stream_, u"\n");
    return Variant();
  }

  std::FILE* stream_;
};

Variant ObjectVariant(IDispatch* object) {
  Variant result;
  result.vt = VT_DISPATCH;
  result.pdispVal = object;  // takes the creator's reference
  return result;
}

}  // namespace

void WriteText(std::FILE* stream, std::u16string_view text) {
  std::string bytes = TextToBytes(text, CP_UTF8);
  std::fwrite(bytes.data(), 1, bytes.size(), stream);
}

WScriptObject::WScriptObject(std::u16string script_path, std::vector<std::u16string> arguments)
    : script_path_(std::move(script_path)), arguments_(std::move(arguments)) {}

std::span<const DispatchMember<WScriptObject>> WScriptObject::Members() {
  static constexpr DispatchMember<WScriptObject> kMembers[] = {
      {u"Echo", 1, kMethod, 0, kAnyArgumentCount, &WScriptObject::Echo},
      {u"Quit", 2, kMethod, 0, 1, &WScriptObject::Quit, u"ExitCode"},
      {u"Arguments", 3, kPropertyGet, 0, 0, &WScriptObject::Arguments},
      {u"ScriptName", 4, kPropertyGet, 0, 0, &WScriptObject::ScriptName},
      {u"ScriptFullName", 5, kPropertyGet, 0, 0, &WScriptObject::ScriptFullName},
      {u"CreateObject", 6, kMethod, 1, 2, &WScriptObject::CreateObject, u"ProgID,Prefix"},
      {u"Sleep", 7, kMethod, 1, 1, &WScriptObject::Sleep, u"Time"},
      {u"StdOut", 8, kPropertyGet, 0, 0, &WScriptObject::StdOut},
      {u"StdErr", 9, kPropertyGet, 0, 0, &WScriptObject::StdErr},
      {u"Name", DISPID_VALUE, kPropertyGet, 0, 0, &WScriptObject::Name},
      {u"Version", 10, kPropertyGet, 0, 0, &WScriptObject::Version},
      {u"ConnectObject", 11, kMethod, 2, 2, &WScriptObject::ConnectObject, u"Object,Prefix"},
      {u"DisconnectObject", 12, kMethod, 1, 1, &WScriptObject::DisconnectObject, u"Object"},
  };
  return kMembers;
}

Result<Variant> WScriptObject::Echo(const DispatchArguments& arguments) {
  std::u16string line;
  for (size_t i = 0; i < arguments.size(); ++i) {
    if (i > 0) line += u' ';
    if (!arguments.IsMissing(i)) line += TRY(EchoText(arguments[i]));
  }
  line += u'\n';
  WriteText(stdout, line);
  return Variant();
}

Result<Variant> WScriptObject::Quit(const DispatchArguments& arguments) {
  exit_code_ = arguments.IsMissing(0) ? 0 : TRY(ToInt32(arguments[0]));
  quit_requested_ = true;
  return Error::FromHresult(SCRIPT_E_STOP_WITHOUT_ERROR);
}

Result<Variant> WScriptObject::Arguments(const DispatchArguments&) {
  return ObjectVariant(MakeObject<ArgumentList>(arguments_).Detach());
}

Result<Variant> WScriptObject::ScriptName(const DispatchArguments&) {
  return Variant::FromString(FileNameOf(script_path_));
}

Result<Variant> WScriptObject::ScriptFullName(const DispatchArguments&) {
  return Variant::FromString(script_path_);
}

Result<Variant> WScriptObject::CreateObject(const DispatchArguments& arguments) {
  Bstr prog_id = TRY(ToBstr(arguments[0]));
  ComPtr<IDispatch> object = TRY(::CreateObject(prog_id.view()));
  if (!arguments.IsMissing(1)) TRY(ConnectCreatedObject(object.get(), prog_id.view(), arguments[1]));
  return Variant::FromDispatch(object.get());
}

Result<Variant> WScriptObject::Sleep(const DispatchArguments& arguments) {
  int32_t milliseconds = std::clamp(TRY(ToInt32(arguments[0])), 0, kMaxSleepMilliseconds);
  std::fflush(stdout);
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  return Variant();
}

Result<Variant> WScriptObject::StdOut(const DispatchArguments&) {
  return ObjectVariant(MakeObject<TextOutput>(stdout).Detach());
}

Result<Variant> WScriptObject::StdErr(const DispatchArguments&) {
  return ObjectVariant(MakeObject<TextOutput>(stderr).Detach());
}

Result<Variant> WScriptObject::Name(const DispatchArguments&) {
  return Variant::FromString(u"Script Host");
}

Result<Variant> WScriptObject::Version(const DispatchArguments&) { return Variant::FromString(u"5.8"); }

#pragma once
// TextParser: a creatable object that expands marked regions of a file or a string (by default
// "<!--#" ... "-->", as server-side includes are written). Each region goes to the registered
// native callback or, without one, to the sinks of the Parse event; what they leave in the
// region's string replaces the region, marks included. The result stays in Content.
//
// Text is 8-bit inside (the ANSI code page at the automation boundary), and a NUL ends it, as
// for every 8-bit string of the server. Used from the thread that created it: no lock of its
// own; handlers run synchronously during the parse.

#include <cstdint>
#include <string>

#include "platform/com/class_identity.h"
#include "platform/com/connection_point.h"
#include "platform/com/dispatch_object.h"

/// The native handler of SetParseCallback: the one-based positions of the region's start mark
/// and end mark, the region's string (the handler may free it and store another in its place;
/// the parser frees whatever is there afterwards), and the registered parameter.
using TextParseCallback = void (*)(int32_t start_index, int32_t end_index, BSTR* region,
                                   intptr_t parameter);

/// The dispatch identifier of the Parse event.
inline constexpr DISPID kParseEventDispid = 0;

class TextParser : public DispatchObject<TextParser> {
 public:
  TextParser();
  ~TextParser() override;

  static std::span<const DispatchMember<TextParser>> Members();
  std::u16string_view TypeName() override { return u"TextParser"; }

 protected:
  void* QueryOtherInterface(REFIID iid) override;

 private:
  // The connection-point container and class identity, parts of the parser that share its
  // reference count.
  class EventSource final : public IConnectionPointContainer, public IPersist {
   public:
    explicit EventSource(TextParser& owner) : owner_(owner) {}
    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override { return owner_.AddRef(); }
    ULONG Release() override { return owner_.Release(); }
    HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;
    HRESULT GetClassID(CLSID* clsid) override;

   private:
    TextParser& owner_;
  };

  Result<Variant> GetStartMark(const DispatchArguments& arguments);
  Result<Variant> PutStartMark(const DispatchArguments& arguments);
  Result<Variant> GetEndMark(const DispatchArguments& arguments);
  Result<Variant> PutEndMark(const DispatchArguments& arguments);
  Result<Variant> ParseFile(const DispatchArguments& arguments);
  Result<Variant> ParseString(const DispatchArguments& arguments);
  Result<Variant> GetContent(const DispatchArguments& arguments);
  Result<Variant> SetParseCallback(const DispatchArguments& arguments);

  /// Parses `text` into the content; on failure the content stays as it was.
  Result<Variant> ParseIntoContent(std::string_view text);
  /// The handler's answer for one region: the callback's, else the event sinks'.
  std::string AnswerRegion(int32_t start_index, int32_t end_index, std::string_view region);

  std::string start_mark_ = "<!--#";
  std::string end_mark_ = "-->";
  std::string content_;
  TextParseCallback callback_ = nullptr;
  intptr_t callback_parameter_ = 0;
  EventSource event_source_{*this};
  ComPtr<ConnectionPoint> parse_events_;
};

/// The class for the module's class factory; null when memory runs out.
IUnknown* CreateTextParser();

#pragma once
// ScriptEngineTable: the template engine of each script language a server's pages use, at most
// eight. A template knows the names every page sees (the five intrinsic objects and the host's
// AddASPObject names, all visible and persistent) and no code; a page is compiled into a clone
// of it. The table is shared by every worker; its lock guards the list, and an engine clones
// itself under its own lock.
//
// Templates are made where they are first asked for: the server makes the one of its default
// language on the host thread when it starts; the engines are free-threaded ("Both"), so a
// further language may be made by the worker that first needs it.

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/result.h"
#include "platform/com/com_ptr.h"
#include "platform/scripting/active_script.h"

class ScriptEngineTable {
 public:
  static constexpr size_t kMaxLanguages = 8;
  /// The names every page's engine knows, flags visible and persistent.
  static constexpr std::u16string_view kIntrinsicNames[] = {u"Server", u"Request", u"Response",
                                                           u"Application", u"Session"};

  /// The template of a language (names compared ignoring case; "JavaScript" is "JScript"),
  /// made on first use. Fails when the language has no registered engine, the engine cannot
  /// be made, or eight other languages are taken; `log_line` then says why ("Can't find script
  /// engine %s" ...) when there is something to log.
  Result<ComPtr<IActiveScript>> TemplateFor(std::string_view language, std::string* log_line);
  /// A host object's name (AddASPObject): added to every template, those to come included,
  /// visible, persistent and without code.
  Result<void> AddHostObjectName(std::u16string_view name);

 private:
  struct Entry {
    std::string language;
    ComPtr<IActiveScript> engine;
  };
  Result<ComPtr<IActiveScript>> MakeTemplate(const std::string& language, std::string* log_line);

  std::mutex mutex_;
  std::vector<Entry> entries_;
  std::vector<std::u16string> host_names_;
};

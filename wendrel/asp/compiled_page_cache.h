#pragma once
// CompiledPageCache: pages already preprocessed and parsed, shared by every worker of a server.
// An entry holds the page's engines (one per script language, page_scripts.h) with their code
// parsed and never run; each request runs a clone of each (a clone shares the parsed program and
// has fresh state). An entry is used only while
// every file it was made from (the page, global.asa, each include) still has the stamp it had:
// editing an include compiles the page again. Pages that came from the host's include callback
// are never kept. At most kMaxPages entries; the one used longest ago goes first.

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/com/com_ptr.h"
#include "platform/scripting/active_script.h"
#include "wendrel/asp/page_files.h"
#include "wendrel/asp/page_scripts.h"
#include "wendrel/asp/preprocessor.h"

struct CompiledPage {
  std::string path;
  std::string default_language;  // the server's ScriptLanguage it was compiled under
  std::vector<FileStamp> stamps;
  std::vector<PageScript> scripts;  // [0] the page language's, then SCRIPT blocks in others
  std::shared_ptr<const std::string> page_text;
  std::vector<std::string> files;    // as PreprocessedPage::files
  uint32_t code_page = 65001;
  uint32_t lcid = 0;  // 0: no @LCID
  std::vector<ServerObjectTag> objects;
};

class CompiledPageCache {
 public:
  static constexpr size_t kMaxPages = 256;

  /// The entry of a page whose files are unchanged; null otherwise (a stale entry is dropped).
  std::shared_ptr<const CompiledPage> Find(const std::string& path,
                                           const std::string& default_language);
  void Keep(std::shared_ptr<const CompiledPage> page);
  void Drop(const std::string& path);
  size_t size();

 private:
  std::mutex mutex_;
  std::list<std::shared_ptr<const CompiledPage>> pages_;  // most recently used first
};

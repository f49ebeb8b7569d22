#pragma once
// The server's configuration store: its settings and its three lists (virtual directories, host
// identifiers, MIME types) saved to and loaded from a profile (INI) file or a registry key.
// The store works on plain data; the Server object copies its settings in and applies what a
// load found.
//
// A location names the store, its prefixes compared ignoring case:
//   "file://" + path               profile file at path
//   "HKCU\" / "HKLM\" / "HKCR\" + key   registry key of that path under the user, machine or
//                                  classes hive
//   text starting with '/', or containing ":\"   profile file at that text
//   any other text                 registry key of that path under the user hive
//
// In a profile file the settings are keys of the section "WEB Server" (integers as decimal
// text) and each list is a section of its own name with one "key=value" line per entry. In
// the registry the settings are values of the key (strings REG_SZ, integers REG_DWORD) and each
// list is a sub-key with one REG_SZ value per entry (value name = entry key). Registry text is
// converted with the ANSI code page.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/system/registry.h"

/// Entries of a list, in order: (key, value).
using ConfigurationList = std::vector<std::pair<std::string, std::string>>;

/// What a save writes, in the order it is written (lists between ProcessDefault and ServerBind).
struct ServerConfiguration {
  std::string default_directory;
  std::string default_document;
  int32_t always_close = 1;
  int32_t disable_upload = 0;
  int32_t log_level = 0;
  std::string log_path;
  int32_t max_threads = 15;
  int32_t max_upload_size = 8388608;
  int32_t port = 80;
  int32_t process_default = 1;
  ConfigurationList virtual_dirs;
  ConfigurationList host_ids;
  ConfigurationList mime_types;
  std::string server_bind;  // dotted IPv4 form
  std::string upload_dir;
  int32_t enable_asp_debug = 0;  // -1 (on) or 0
  std::string script_language;
};

/// What a load found. A value that is set replaces the server's setting; one that is not
/// leaves it. List entries are added to the server's lists (existing entries stay). The server
/// applies them in this declaration order, which is the order they are read in; ServerBind
/// and EnableASPDebug go through their property setters (a refused ServerBind does not stop
/// the rest), the integers straight into the settings.
struct LoadedConfiguration {
  std::optional<std::string> default_directory;
  std::optional<std::string> default_document;
  std::optional<int32_t> always_close;
  std::optional<int32_t> disable_upload;
  std::optional<int32_t> log_level;
  std::optional<std::string> log_path;
  std::optional<int32_t> max_threads;      // within kMinLoadedThreads..kMaxLoadedThreads
  std::optional<int32_t> max_upload_size;  // 0 or more
  std::optional<int32_t> port;
  std::optional<int32_t> process_default;
  ConfigurationList virtual_dirs;
  ConfigurationList host_ids;
  ConfigurationList mime_types;
  std::optional<std::string> server_bind;
  std::optional<std::string> script_language;
  std::optional<std::string> upload_dir;
  std::optional<int32_t> enable_asp_debug;
  /// Whether anything was read: a value, or at least one list entry.
  bool any_found = false;
};

enum class ConfigurationStoreKind { ProfileFile, Registry };

/// A parsed location: a profile file's path, or a registry hive and key path.
struct ConfigurationLocation {
  ConfigurationStoreKind kind = ConfigurationStoreKind::Registry;
  std::string file_path;
  RegistryHive hive = RegistryHive::CurrentUser;
  std::string key_path;
};

/// The profile-file section that holds the settings.
inline constexpr std::string_view kConfigurationSection = "WEB Server";
/// A loaded thread count is kept within these bounds: 0 threads would serve nothing and
/// thousands would exhaust the process.
inline constexpr int32_t kMinLoadedThreads = 1;
inline constexpr int32_t kMaxLoadedThreads = 255;
/// Room for registry text read by a load, its terminating NUL included: longer strings count
/// as absent and longer list entries (name or data) are skipped.
inline constexpr size_t kMaxRegistryTextBytes = 1024;

/// Reads a location as the table above says. Never fails: any text names some store.
ConfigurationLocation ParseConfigurationLocation(std::string_view location);

/// Writes the configuration in declaration order and stops at the first write that fails;
/// what was written before it stays. True only when everything was written. A registry key is
/// created when missing (read-write); when it cannot be created nothing is written. A list's
/// section or sub-key ends up holding exactly the list's entries (stale entries of an earlier
/// save are removed). A profile file is written once, at the end, replacing the old one as a
/// whole; other sections, keys and comments in it are kept. False when the file exists but
/// cannot be read (or is above the profile-file size limit), or cannot be written.
bool SaveConfiguration(std::string_view location, const ServerConfiguration& configuration);

/// Reads everything the location holds. Strings: registry REG_SZ values within
/// kMaxRegistryTextBytes, non-empty profile values. Integers: registry REG_DWORD values; in a
/// profile file every integer counts as found, the value in `current` standing in for a
/// missing key. Lists: registry REG_SZ values of the sub-key; profile section lines with an '='
/// after their first character, split there (the section read whole, up to
/// kMaxProfileSectionBytes). A registry key is created when missing (read access). A profile
/// file that does not exist or cannot be read yields nothing (any_found false).
LoadedConfiguration LoadConfiguration(std::string_view location,
                                      const ServerConfiguration& current);

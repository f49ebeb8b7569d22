#pragma once
// The options of the wendrel command: each names a Server property (or a step of the host)
// and how its value is written. Parsing is separate from applying so that bad flags are
// refused before anything starts.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

enum class OptionKind {
  Integer,     // --port 8080
  Text,        // --default-document home.htm
  SetTrue,     // --disable-upload
  SetFalse,    // --keep-alive (AlwaysCloseConnection off)
};

struct OptionSpec {
  std::string_view flag;      // without the leading "--"
  std::string_view property;  // the Server property it sets; empty for host options
  OptionKind kind;
  std::string_view help;
};

/// Every option, in the order --help lists them.
std::span<const OptionSpec> Options();

/// One property to set: name and value text (true/false for the flags).
struct PropertySetting {
  std::string property;
  OptionKind kind;
  std::string value;
};

struct CommandLine {
  std::optional<std::string> folder;  // the site root; the current folder when neither it
                                      // nor a loaded configuration gives one
  std::vector<PropertySetting> settings;  // in the order given
  std::optional<std::string> config_location;
  std::optional<std::string> tls_key;
  std::optional<std::string> tls_certificate;
  std::string tls_password;
  std::optional<std::string> log_folder;
  std::vector<std::pair<std::string, std::string>> virtual_dirs;  // virtual path, folder
  std::vector<std::pair<std::string, std::string>> mime_types;    // ".ext", type
  std::vector<std::pair<std::string, std::string>> host_ids;      // host name, folder
  bool help = false;
};

/// The command line, or the reason it is refused (the caller prints the usage and exits 2).
struct ParsedCommandLine {
  std::optional<CommandLine> command;
  std::string error;
};
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

/// The --help text.
std::string UsageText();

#include "apps/wendrel/command_line.h"

#include <charconv>

namespace {

using K = OptionKind;

constexpr OptionSpec kOptions[] = {
    {"port", "Port", K::Integer, "port to listen on (default 8080; 0 lets the system choose)"},
    {"bind", "ServerBind", K::Text, "IPv4 address to listen on (default 0.0.0.0)"},
    {"default-document", "DefaultDocument", K::Text, "document served for a folder (index.htm)"},
    {"no-default-files", "ProcessDefaultFiles", K::SetFalse,
     "give every request to the host before the static files"},
    {"log-level", "LogLevel", K::Integer, "0 none, 1 access log, 2 access log and start/stop"},
    {"script-language", "ScriptLanguage", K::Text, "default language of ASP pages (VBScript)"},
    {"upload-dir", "UploadDir", K::Text,
     "folder for uploaded files (default: a private folder outside the site)"},
    {"max-upload-size", "MaxUploadSize", K::Integer, "largest request body in bytes (8388608)"},
    {"disable-upload", "DisableUpload", K::SetTrue, "keep uploads in memory, write no files"},
    {"threads", "MaxThreads", K::Integer,
     "worker threads that run pages and host code, 3 to 255 (15)"},
    {"keep-alive", "AlwaysCloseConnection", K::SetFalse, "keep connections open between requests"},
    {"always-close", "AlwaysCloseConnection", K::SetTrue, "close every connection after a response"},
    {"enable-asp-debug", "EnableASPDebug", K::SetTrue, "switch the ASP debugger hook on"},
    {"use-mts", "UseMTSForCreateObject", K::SetTrue, "Server.CreateObject through MTS"},
    {"max-header-size", "MaxHeaderSize", K::Integer, "largest request header block (65536)"},
    {"idle-timeout", "IdleTimeout", K::Integer, "seconds an idle kept-alive connection stays (60)"},
    {"request-timeout", "RequestTimeout", K::Integer, "seconds a request may take to arrive (30)"},
    {"hand-over", "HandOverMode", K::SetTrue,
     "a request that finds no free worker within a second gets 503"},
    {"script-time-limit", "ScriptTimeLimit", K::Integer,
     "seconds an ASP page may run before it is stopped (0: no limit, the default)"},
    {"max-sessions", "MaxSessions", K::Integer,
     "sessions kept at most; past it the oldest idle ones go (100000)"},
    {"log-folder", "", K::Text, "write access logs there (sets --log-level 1 unless given)"},
    {"config", "", K::Text, "load settings first from a location: file://PATH, /PATH.ini, "
                            "HKCU\\KEY, HKLM\\KEY, HKCR\\KEY or a key under HKCU"},
    {"tls-key", "", K::Text, "private key file (PEM); with --tls-cert serves HTTPS"},
    {"tls-cert", "", K::Text, "certificate file (PEM)"},
    {"tls-password", "", K::Text, "password of the key (or WENDREL_TLS_PASSWORD)"},
    {"virtual-dir", "", K::Text, "/VIRTUAL=FOLDER: serve FOLDER under /VIRTUAL/ (repeatable)"},
    {"mime", "", K::Text, ".EXT=TYPE: content type of an extension (repeatable)"},
    {"host-id", "", K::Text, "HOST=FOLDER: site root for requests to HOST (repeatable)"},
    {"set", "", K::Text, "NAME=VALUE: any other Server property by name (repeatable)"},
    {"help", "", K::SetTrue, "print this text"},
};

const OptionSpec* FindOption(std::string_view flag) {
  for (const OptionSpec& option : kOptions) {
    if (option.flag == flag) return &option;
  }
  return nullptr;
}

bool IsInteger(std::string_view text) {
  int64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

// "a=b" split at the first '=' after the first character.
std::optional<std::pair<std::string, std::string>> Pair(std::string_view text) {
  size_t equals = text.find('=', 1);
  if (equals == std::string_view::npos || text.empty()) return std::nullopt;
  return std::make_pair(std::string(text.substr(0, equals)), std::string(text.substr(equals + 1)));
}

// Applies one host option (no property of its own); false with the reason when its value is
// not of the right form.
bool ApplyHostOption(std::string_view flag, const std::string& value, CommandLine& command,
                     std::string& error) {
  auto pair_into = [&](std::vector<std::pair<std::string, std::string>>& list) {
    std::optional<std::pair<std::string, std::string>> pair = Pair(value);
    if (!pair) error = "--" + std::string(flag) + " needs NAME=VALUE, got '" + value + "'";
    if (pair) list.push_back(*pair);
    return pair.has_value();
  };
  if (flag == "log-folder") command.log_folder = value;
  if (flag == "config") command.config_location = value;
  if (flag == "tls-key") command.tls_key = value;
  if (flag == "tls-cert") command.tls_certificate = value;
  if (flag == "tls-password") command.tls_password = value;
  if (flag == "virtual-dir") return pair_into(command.virtual_dirs);
  if (flag == "mime") return pair_into(command.mime_types);
  if (flag == "host-id") return pair_into(command.host_ids);
  if (flag == "set") {
    std::optional<std::pair<std::string, std::string>> pair = Pair(value);
    if (!pair) {
      error = "--set needs NAME=VALUE, got '" + value + "'";
      return false;
    }
    command.settings.push_back({pair->first, OptionKind::Text, pair->second});
  }
  return true;
}

}  // namespace

std::span<const OptionSpec> Options() { return kOptions; }

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine command;
  for (size_t i = 0; i < arguments.size(); ++i) {
    std::string_view argument = arguments[i];
    if (!argument.starts_with("--")) {
      if (command.folder) return {std::nullopt, "more than one folder given: '" + arguments[i] + "'"};
      command.folder = arguments[i];
      continue;
    }
    std::string_view flag = argument.substr(2);
    std::optional<std::string> inline_value;
    if (size_t equals = flag.find('='); equals != std::string_view::npos) {
      inline_value = std::string(flag.substr(equals + 1));
      flag = flag.substr(0, equals);
    }
    const OptionSpec* option = FindOption(flag);
    if (option == nullptr) return {std::nullopt, "unknown option '" + arguments[i] + "'"};
    if (flag == "help") {
      command.help = true;
      continue;
    }
    bool takes_value = option->kind == OptionKind::Integer || option->kind == OptionKind::Text;
    if (!takes_value && inline_value) {
      return {std::nullopt, "--" + std::string(flag) + " takes no value"};
    }
    std::string value;
    if (takes_value) {
      if (inline_value) {
        value = *inline_value;
      } else if (i + 1 < arguments.size()) {
        value = arguments[++i];
      } else {
        return {std::nullopt, "--" + std::string(flag) + " needs a value"};
      }
    }
    if (option->kind == OptionKind::Integer && !IsInteger(value)) {
      return {std::nullopt, "--" + std::string(flag) + " needs a number, got '" + value + "'"};
    }
    if (option->property.empty()) {
      std::string error;
      if (!ApplyHostOption(flag, value, command, error)) return {std::nullopt, error};
      continue;
    }
    if (option->kind == OptionKind::SetTrue) value = "true";
    if (option->kind == OptionKind::SetFalse) value = "false";
    command.settings.push_back({std::string(option->property), option->kind, value});
  }
  return {std::move(command), {}};
}

std::string UsageText() {
  std::string text =
      "usage: wendrel [OPTION...] [FOLDER]\n"
      "Serves FOLDER (default: the current folder) over HTTP, or HTTPS with --tls-key and\n"
      "--tls-cert, until SIGINT or SIGTERM. Options may also be written --name=value.\n\n";
  for (const OptionSpec& option : kOptions) {
    std::string left = "  --" + std::string(option.flag);
    if (option.kind == OptionKind::Integer) left += " N";
    if (option.kind == OptionKind::Text) left += " VALUE";
    if (left.size() < 28) left.resize(28, ' ');
    text += left + " " + std::string(option.help) + "\n";
  }
  text +=
      "\nEnvironment: WENDREL_REGISTRY_DIR moves the registry, WENDREL_MODULE_DIR names the\n"
      "modules' folder, WENDREL_EVENT_LOG_FILE sends event-log entries to a file,\n"
      "WENDREL_TRACE=stderr|FILE switches the trace on.\n"
      "Exit status: 0 after a clean stop, 1 when the server cannot start, 2 for bad options.\n";
  return text;
}

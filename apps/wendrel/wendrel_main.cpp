// wendrel: serves a folder with the web server, the way a host application embeds it.
//
//   wendrel [OPTION...] [FOLDER]
//
// The Server object is created by its ProgID and configured late-bound, property by property:
// first from --config (LoadConfig), then from the options in the order given. The main thread
// pumps the host queue (where host events arrive) until SIGINT or SIGTERM, then stops the
// server. Exit status: 0 after a clean stop, 1 when the server cannot start, 2 for bad options.
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "apps/common/host_modules.h"
#include "apps/wendrel/command_line.h"
#include "platform/automation/conversion.h"
#include "platform/automation/dispatch_call.h"
#include "platform/com/apartment.h"
#include "platform/com/creation.h"
#include "platform/system/code_page.h"

namespace {

// Beside the script modules: the server itself and the report engine pages call.
constexpr HostModule kHostModules[] = {
    {"libwendrel.so", u"WendrelASP.Server"},
    {"libtabulix32.so", u"Tabulix32.StringBuffer"},
};

Variant Text(std::string_view text) { return Variant::FromString(BytesToText(text, CP_UTF8)); }

std::string Narrow(std::u16string_view text) { return TextToBytes(text, CP_UTF8); }

std::string ErrorText(const Error& error) {
  return Narrow(error.Description()) + " (" + std::to_string(error.Number()) + ")";
}

// A fatal start-up problem: printed, exit status 1.
int Fail(const std::string& message) {
  std::fprintf(stderr, "wendrel: %s\n", message.c_str());
  return 1;
}

Variant SettingValue(const PropertySetting& setting) {
  switch (setting.kind) {
    case OptionKind::Integer:
      return Variant::FromI4(std::stoi(setting.value));
    case OptionKind::SetTrue:
    case OptionKind::SetFalse:
      return Variant::FromBool(setting.value == "true");
    case OptionKind::Text:
      return Text(setting.value);
  }
  return Variant();
}

Result<void> Put(IDispatch* server, std::string_view property, const Variant& value) {
  return PutMember(server, BytesToText(property, CP_UTF8), {}, value);
}

// A method whose last argument is an out BOOL; true when it reported success.
Result<bool> CallReportingSuccess(IDispatch* server, std::u16string_view method,
                                  std::vector<Variant> arguments) {
  std::vector<VARIANT> passed(arguments.begin(), arguments.end());
  Variant result = TRY(CallMember(server, method, passed));
  return TRY(ToBool(result));
}

std::string LastError(IDispatch* server) {
  Result<Variant> text = CallMember(server, u"LastError");
  return text.ok() ? Narrow(text.value().StringView()) : std::string();
}

// Adds (key, value) pairs to one of the server's lists.
Result<void> AddToList(IDispatch* server, std::u16string_view list,
                       const std::vector<std::pair<std::string, std::string>>& pairs) {
  if (pairs.empty()) return {};
  Variant collection = TRY(CallMember(server, list));
  if (collection.vt != VT_DISPATCH || collection.pdispVal == nullptr) return ErrorNumber::TypeMismatch;
  for (const auto& [key, value] : pairs) {
    Variant key_text = Text(key);
    Variant value_text = Text(value);
    std::vector<VARIANT> arguments{key_text, value_text};
    TRY(CallMember(collection.pdispVal, u"Add", arguments));
  }
  return {};
}

// Everything from the command line onto the server, in order; the first refusal ends it.
Result<void> Configure(IDispatch* server, const CommandLine& command) {
  if (command.config_location) {
    bool loaded = TRY(CallReportingSuccess(server, u"LoadConfig", {Text(*command.config_location)}));
    if (!loaded) {
      return Error::Script(5, BytesToText("nothing could be loaded from " +
                                              *command.config_location, CP_UTF8));
    }
  }
  // Without a configuration the command serves the current folder on 8080 (port 80 would need
  // privileges); a folder on the command line always wins.
  if (command.folder || !command.config_location) {
    std::error_code ignored;
    std::filesystem::path folder = std::filesystem::absolute(command.folder.value_or("."), ignored);
    std::string root = folder.lexically_normal().string();
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    TRY(Put(server, "DefaultDirectory", Text(root)));
  }
  if (!command.config_location) TRY(Put(server, "Port", Variant::FromI4(8080)));
  if (command.log_folder) {
    TRY(Put(server, "LogPath", Text(*command.log_folder)));
    TRY(Put(server, "LogLevel", Variant::FromI2(1)));
  }
  for (const PropertySetting& setting : command.settings) {
    TRY(Put(server, setting.property, SettingValue(setting)));
  }
  for (const auto& [virtual_path, folder] : command.virtual_dirs) {
    Variant name = Text(virtual_path);
    Variant real = Text(folder);
    std::vector<VARIANT> arguments{name, real};
    TRY(CallMember(server, u"AddVirtualDir", arguments));
  }
  TRY(AddToList(server, u"MIMETypes", command.mime_types));
  TRY(AddToList(server, u"HostId", command.host_ids));
  return {};
}

Result<void> InitTls(IDispatch* server, const CommandLine& command) {
  if (!command.tls_key && !command.tls_certificate) return {};
  if (!command.tls_key || !command.tls_certificate) {
    return Error::Script(5, u"--tls-key and --tls-cert go together");
  }
  std::string password = command.tls_password;
  if (const char* from_environment = std::getenv("WENDREL_TLS_PASSWORD");
      password.empty() && from_environment) {
    password = from_environment;
  }
  bool ready = TRY(CallReportingSuccess(
      server, u"InitSSL", {Text(*command.tls_key), Text(*command.tls_certificate), Text(password)}));
  if (!ready) return Error::Script(5, BytesToText(LastError(server), CP_UTF8));
  return {};
}

// SIGINT and SIGTERM are blocked in every thread and read here, so no worker is interrupted by
// them and the main thread stops the server in order.
int StopSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  return signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC);
}

bool StopRequested(int signal_file) {
  signalfd_siginfo information{};
  return read(signal_file, &information, sizeof information) == sizeof information;
}

int Serve(const CommandLine& command) {
  int signal_file = StopSignals();
  if (signal_file < 0) return Fail("cannot watch for SIGINT and SIGTERM");
  CoInitialize();
  EnsureHostModulesRegistered(kScriptModules, "wendrel");
  EnsureHostModulesRegistered(kHostModules, "wendrel");
  Result<ComPtr<IDispatch>> created = CreateObject(u"WendrelASP.Server");
  if (!created.ok()) return Fail("cannot create WendrelASP.Server: " + ErrorText(created.error()));
  IDispatch* server = created.value().get();
  if (Result<void> configured = Configure(server, command); !configured.ok()) {
    std::fprintf(stderr, "wendrel: %s\n%s", ErrorText(configured.error()).c_str(),
                 UsageText().c_str());
    return 2;
  }
  if (Result<void> tls = InitTls(server, command); !tls.ok()) {
    return Fail("cannot set up TLS: " + ErrorText(tls.error()));
  }
  Result<bool> started = CallReportingSuccess(server, u"StartServer", {});
  if (!started.ok() || !started.value()) return Fail("cannot start: " + LastError(server));
  int port = CallMember(server, u"BoundPort").value().lVal;
  bool tls = command.tls_key.has_value();
  std::printf("wendrel: serving %s at %s://127.0.0.1:%d/\n",
              Narrow(CallMember(server, u"DefaultDirectory").value().StringView()).c_str(),
              tls ? "https" : "http", port);
  std::fflush(stdout);
  PumpMessagesUntil([&] { return StopRequested(signal_file); }, 100);
  (void)CallMember(server, u"StopServer");
  std::printf("wendrel: stopped\n");
  close(signal_file);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  ParsedCommandLine parsed = ParseCommandLine(arguments);
  if (!parsed.command) {
    std::fprintf(stderr, "wendrel: %s\n%s", parsed.error.c_str(), UsageText().c_str());
    return 2;
  }
  if (parsed.command->help) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }
  return Serve(*parsed.command);
}

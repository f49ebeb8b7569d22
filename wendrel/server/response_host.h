#pragma once
// ResponseHost: what a Response needs from the server that owns it: the event log, the
// log-message path of AppendToLog, the content type of a file extension and the computer
// name. The server implements it; tests give their own. Called on the worker thread that
// serves the response.

#include <string>
#include <string_view>

/// The name of this computer (gethostname); "localhost" when it cannot be read.
std::string LocalComputerName();

class ResponseHost {
 public:
  /// Writes an error entry to the event log (a file that cannot be opened for sending).
  virtual void WriteEventLog(std::string_view line) = 0;
  /// The log-message path: the text a page hands to Response.AppendToLog.
  virtual void LogMessage(std::string_view text) = 0;
  /// The content type of an extension given with its leading full stop (".gif"), looked up as
  /// the static files are; empty when the extension is unknown.
  virtual std::string MimeTypeOf(std::string_view extension) const = 0;
  /// The realm of a 401 answer when none was set.
  virtual std::string ComputerName() const { return LocalComputerName(); }

 protected:
  ~ResponseHost() = default;
};

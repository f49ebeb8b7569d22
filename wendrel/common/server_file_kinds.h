#pragma once
// The file kinds the server treats specially by extension (given with its full stop, any case):
// pages it runs, files that hold server code and are never sent to a client, and ASP.NET files
// that go to the .NET bridge.

#include <string_view>

/// ".asp": a page the ASP runtime runs.
bool IsAspPageExtension(std::string_view extension);
/// Whether a file's extension belongs to ASP.NET (.aspx, .asmx, .config, ...).
bool IsDotNetExtension(std::string_view extension);
/// Files that hold server code or server output and are never sent as files: ".asa"
/// (global.asa), ".csx" (the generated scripts LogLevel 2 writes) and ".inc" (include files,
/// which carry page code and often connection strings).
bool IsServerOnlyExtension(std::string_view extension);
/// Whatever the server would run or hide: pages, ASP.NET files and server-only files. An upload
/// never creates such a file in a folder the server serves.
bool IsServerCodeExtension(std::string_view extension);
/// The extension of a path's last segment, with its full stop; empty when it has none.
std::string_view ExtensionOf(std::string_view path);

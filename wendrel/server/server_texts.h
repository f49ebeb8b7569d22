#pragma once
// The server's string table and the system-error form of its failure texts.

#include <string>

/// The string-table ids of the server's texts by name.
enum class ServerTextId : int {
#define SERVER_TEXT(name, id, text) name = id,
#include "wendrel/server/server_texts.def"
#undef SERVER_TEXT
};

/// The text of a string-table id; "Can't find error 0x%X" for an id without one.
std::string ServerText(int id);
inline std::string ServerText(ServerTextId id) { return ServerText(static_cast<int>(id)); }
/// The text of `id`, then "\r\n", the system error number, " - " and the system's message for
/// it (one line, at most 1024 characters).
std::string ServerTextWithSystemError(int id, int system_error);
inline std::string ServerTextWithSystemError(ServerTextId id, int system_error) {
  return ServerTextWithSystemError(static_cast<int>(id), system_error);
}

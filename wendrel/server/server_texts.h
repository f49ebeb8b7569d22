#pragma once
// The server's string table and the system-error form of its failure texts.

#include <string>

/// The text of a string-table id; "Can't find error 0x%X" for an id without one.
std::string ServerText(int id);
/// The text of `id`, then "\r\n", the system error number, " - " and the system's message for
/// it (one line, at most 1024 characters).
std::string ServerTextWithSystemError(int id, int system_error);

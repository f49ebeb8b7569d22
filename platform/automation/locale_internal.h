#pragma once
// The compiled locale table behind FindLocale, shared with the lookups in locale.cpp and with
// the tests that check the table's consistency. Not part of the library's contract.

#include <span>

#include "platform/automation/locale.h"

/// Every locale the system knows, 1033 en-US first. The entries live in constant storage for
/// the life of the process.
std::span<const LocaleInfo> LocaleTable();

#pragma once
// Bytes from the kernel's random source, for identifiers an attacker must not guess.

#include <cstddef>
#include <span>

/// Fills `bytes` from getrandom(2) (waiting for the pool at boot, retrying interruptions);
/// false only when the kernel offers no random source at all.
bool FillRandomBytes(std::span<std::byte> bytes);

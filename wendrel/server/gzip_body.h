#pragma once
// The gzip form of a response body: one gzip member with a fixed header, the raw deflate data
// of the whole body (default level, 15-bit window, memory level 8, default strategy) and the
// CRC-32 and length of the original, both little-endian.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

/// The ten header bytes: magic 1F 8B, deflate, no flags, a fixed modification time
/// (69 D5 4B 43), no extra flags, unknown system.
inline constexpr unsigned char kGzipHeader[10] = {0x1F, 0x8B, 0x08, 0x00, 0x69,
                                                  0xD5, 0x4B, 0x43, 0x00, 0xFF};

/// The body compressed as a gzip member; nothing when deflate fails or the body is larger than
/// one deflate pass takes (2 GiB).
std::optional<std::string> GzipBody(std::string_view body);

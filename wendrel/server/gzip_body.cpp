#include "wendrel/server/gzip_body.h"

#include <zlib.h>

#include <limits>

namespace {

constexpr int kWindowBits = 15;
constexpr int kMemoryLevel = 8;

void AppendLittleEndian(std::string& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// Deflates `body` raw, finished in one call; nothing on failure.
std::optional<std::string> RawDeflate(std::string_view body) {
  z_stream stream{};
  // A negative window size asks for raw deflate data, without a zlib header.
  if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -kWindowBits, kMemoryLevel,
                   Z_DEFAULT_STRATEGY) != Z_OK) {
    return std::nullopt;
  }
  std::string out(deflateBound(&stream, static_cast<uLong>(body.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body.data()));
  stream.avail_in = static_cast<uInt>(body.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  int status = deflate(&stream, Z_FINISH);
  size_t produced = stream.total_out;
  deflateEnd(&stream);
  if (status != Z_STREAM_END) return std::nullopt;
  out.resize(produced);
  return out;
}

}  // namespace

std::optional<std::string> GzipBody(std::string_view body) {
  if (body.size() > std::numeric_limits<uInt>::max() / 2) return std::nullopt;
  uLong crc = crc32(0L, Z_NULL, 0);
  crc = crc32(crc, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
  std::optional<std::string> deflated = RawDeflate(body);
  if (!deflated) return std::nullopt;
  std::string member(reinterpret_cast<const char*>(kGzipHeader), sizeof kGzipHeader);
  member += *deflated;
  AppendLittleEndian(member, static_cast<uint32_t>(crc));
  AppendLittleEndian(member, static_cast<uint32_t>(body.size()));
  return member;
}

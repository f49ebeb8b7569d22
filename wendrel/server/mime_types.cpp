#include "wendrel/server/mime_types.h"

#include "wendrel/common/byte_string.h"

namespace {

struct MimeEntry {
  std::string_view extension;
  std::string_view type;
};

constexpr MimeEntry kBuiltInTypes[] = {
    {".HTM", "text/html"},
    {".HTML", "text/html"},
    {".CSS", "text/css"},
    {".GIF", "image/gif"},
    {".JPG", "image/jpeg"},
    {".JPEG", "image/jpeg"},
    {".PNG", "image/png"},
    {".BMP", "image/x-xbitmap"},
    {".JS", "application/x-javascript"},
    {".CLASS", "application/octet-stream"},
    {".JAR", "application/octet-stream"},
    {".TXT", "text/plain"},
};

}  // namespace

std::string_view BuiltInMimeType(std::string_view extension) {
  for (const MimeEntry& entry : kBuiltInTypes) {
    if (entry.extension.size() == extension.size() &&
        BytesEqualIgnoringCase(extension, entry.extension)) {
      return entry.type;
    }
  }
  return {};
}

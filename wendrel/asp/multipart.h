#pragma once
// The parts of a multipart/form-data body, found by the boundary text of its Content-Type.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct MultipartPart {
  std::string field_name;               // the name="..." of its header lines, quotes removed
  std::optional<std::string> file_name; // the filename="..." when the part is a file
  std::string_view content;             // a view into the body
};

/// The boundary given in a Content-Type ("...; boundary=XYZ"), normalised, quotes kept;
/// nothing when the type names none (or an empty one).
std::optional<std::string> MultipartBoundary(std::string_view content_type);

/// The parts between the occurrences of `boundary` in `body`: leading bytes up to space are
/// skipped, header lines run to the first empty line, the content follows it up to the line
/// end and "--" before the next occurrence (or the end of the body). A part without the empty
/// line has no content and is left out. `boundary` must not be empty.
std::vector<MultipartPart> ParseMultipart(std::string_view body, std::string_view boundary);

/// The last segment of a file name as a browser sends it (after the last '/' or '\'), or
/// nothing when that is empty, "." or "..", or holds a NUL byte: such a name is never written.
std::optional<std::string> SafeUploadFileName(std::string_view sent_name);

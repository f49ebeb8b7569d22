#pragma once
// The file a request names: the path map's result with the default document resolved, its
// extension and its content type.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "wendrel/common/server_file_kinds.h"

/// The file that answers a mapped path: the default document for a folder (a trailing '/', or
/// a last segment without '.' that is a folder or does not exist), else the path itself.
std::string ResolveRequestFile(const std::string& mapped_path, std::string_view default_document);

/// The content type of an extension: the built-in table first, then the configured types
/// (".htm" cannot be overridden); empty when neither knows it. The text lives in the table or
/// in `mime_types`.
std::string_view ContentTypeOf(std::string_view extension,
                               const std::vector<std::pair<std::string, std::string>>& mime_types);


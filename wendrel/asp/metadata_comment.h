#pragma once
// METADATA comments: <!--METADATA TYPE="TypeLib" UUID="{...}" VERSION="1.0" --> or
// <!--METADATA TYPE="TypeLib" FILE="..." -->, naming a type library whose constants the page's
// script engine gets.

#include <string_view>

#include "wendrel/asp/preprocessor.h"

/// Reads the body of a METADATA comment (the text after "METADATA"); attribute names ignore
/// case. TYPE must be TypeLib; FILE, when given, is kept as written (the host loads it);
/// otherwise UUID is required and gets its braces when they are missing; VERSION is
/// "major.minor" or "major" (minor then -1), each 0 to 65535, both -1 when absent. Every
/// fault fails with kAspInvalidMetadata. The result's `where` is left for the caller.
PreprocessOutcome<TypeLibraryReference> ParseMetadataComment(std::string_view body);

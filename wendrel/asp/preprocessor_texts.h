#pragma once
// The fixed texts of the preprocessor: server log lines and the details of its failures. A
// detail is followed by the name or value involved where the failure has one.

#include <string_view>

// Server log lines.
inline constexpr std::string_view kIncludeLogPrefix = "INCLUDE FILE in ASP page=";
inline constexpr std::string_view kIncludeWithoutNameLog =
    "INCLUDE FILE directive found; but no filename is given or it cannot be resolved";

// Constructs left open.
inline constexpr std::string_view kUnclosedScriptBlock = "'<%' without a closing '%>'";
inline constexpr std::string_view kUnclosedServerScript =
    "server SCRIPT element without </SCRIPT>";
inline constexpr std::string_view kUnclosedServerObject =
    "server OBJECT element without </OBJECT>";
inline constexpr std::string_view kUnclosedIncludeComment = "#include comment without '-->'";
inline constexpr std::string_view kUnclosedMetadataComment = "METADATA comment without '-->'";

// Directives.
inline constexpr std::string_view kBadCodePage = "@CODEPAGE is not a number: ";
inline constexpr std::string_view kBadLcid = "@LCID is not a number: ";
inline constexpr std::string_view kLanguageAlreadySet =
    "@LANGUAGE differs from the page's language ";

// Includes.
inline constexpr std::string_view kIncludeWithoutName = "#include without a file or virtual name";
inline constexpr std::string_view kIncludeUnreadable = "cannot include ";
inline constexpr std::string_view kIncludeCycle = "include cycle: the file is already open: ";
inline constexpr std::string_view kIncludeTooDeep = "include nesting deeper than ";
inline constexpr std::string_view kPageTooLarge = "the expanded page text is larger than ";

// METADATA comments.
inline constexpr std::string_view kMetadataNotTypeLibrary = "METADATA TYPE is not TypeLib";
inline constexpr std::string_view kMetadataWithoutLibrary = "METADATA names neither FILE nor UUID";
inline constexpr std::string_view kMetadataBadUuid = "METADATA UUID is not a GUID: ";
inline constexpr std::string_view kMetadataBadVersion = "METADATA VERSION is not major.minor: ";

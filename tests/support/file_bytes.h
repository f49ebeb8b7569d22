#pragma once
// Test helpers for files as bytes and for the HRESULT a Result carries.

#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "platform/automation/result.h"

namespace test_support {

/// S_OK for a value, else the error's HRESULT.
template <class T>
HRESULT HresultOf(const Result<T>& result) {
  return result.ok() ? S_OK : result.error().Hresult();
}

/// The whole file; empty when it cannot be read.
inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

/// Replaces the file's content with `bytes`.
inline void WriteBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace test_support

#pragma once
// Points the registry at a fresh folder for the life of a test, and removes it afterwards.

#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/system/registry.h"

class TemporaryRegistry {
 public:
  TemporaryRegistry() {
    std::string pattern = (std::filesystem::temp_directory_path() / "registry-XXXXXX").string();
    folder_ = mkdtemp(pattern.data());
    setenv("WENDREL_REGISTRY_DIR", folder_.c_str(), 1);
    ResetRegistryForTesting();
  }
  ~TemporaryRegistry() {
    ResetRegistryForTesting();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  TemporaryRegistry(const TemporaryRegistry&) = delete;
  TemporaryRegistry& operator=(const TemporaryRegistry&) = delete;

  const std::string& folder() const { return folder_; }

 private:
  std::string folder_;
};

#include "wendrel/logging/trace.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace {

const char* TraceTarget() {
  static const char* target = std::getenv("WENDREL_TRACE");
  return target;
}

std::mutex& TraceMutex() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace

bool TraceEnabled() { return TraceTarget() != nullptr && *TraceTarget() != '\0'; }

void Trace(std::string_view scope, std::string_view text) {
  if (!TraceEnabled()) return;
  std::string line(scope);
  line += ": ";
  line += text;
  line += '\n';
  std::lock_guard lock(TraceMutex());
  if (std::strcmp(TraceTarget(), "stderr") == 0) {
    std::fwrite(line.data(), 1, line.size(), stderr);
    return;
  }
  std::FILE* file = std::fopen(TraceTarget(), "a");
  if (file == nullptr) return;
  std::fwrite(line.data(), 1, line.size(), file);
  std::fclose(file);
}

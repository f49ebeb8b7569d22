// Runs a fuzz target over stored inputs without libFuzzer, so the corpus is a regression suite
// in the normal (GCC, sanitizer) build. Usage: <target>_replay FILE_OR_FOLDER...
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

// Inputs larger than this are not fuzz seeds; they are skipped with a message.
constexpr std::uintmax_t kMaxInputBytes = 1 << 20;

bool ReplayFile(const std::filesystem::path& path) {
  std::error_code error;
  if (std::filesystem::file_size(path, error) > kMaxInputBytes || error) {
    std::fprintf(stderr, "skipped %s\n", path.c_str());
    return false;
  }
  std::ifstream file(path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int replayed = 0;
  for (int i = 1; i < argc; ++i) {
    std::filesystem::path path(argv[i]);
    if (std::filesystem::is_directory(path)) {
      for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) {
        if (entry.is_regular_file() && ReplayFile(entry.path())) ++replayed;
      }
    } else if (ReplayFile(path)) {
      ++replayed;
    }
  }
  std::printf("%d inputs replayed\n", replayed);
  return 0;
}

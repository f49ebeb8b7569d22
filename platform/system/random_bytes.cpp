#include "platform/system/random_bytes.h"

#include <sys/random.h>

#include <cerrno>

bool FillRandomBytes(std::span<std::byte> bytes) {
  size_t filled = 0;
  while (filled < bytes.size()) {
    ssize_t got = getrandom(bytes.data() + filled, bytes.size() - filled, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    filled += static_cast<size_t>(got);
  }
  return true;
}

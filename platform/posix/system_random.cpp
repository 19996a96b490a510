#include <sys/random.h>

#include <cerrno>

#include "platform/system_random.h"

namespace tsl {

bool SystemRandom(unsigned char* bytes, std::size_t size) {
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = ::getrandom(bytes + got, size - got, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    got += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace tsl

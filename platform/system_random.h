// Bytes from the operating system's random source: getrandom on POSIX, RtlGenRandom of
// System32's advapi32.dll on Windows.
#pragma once

#include <cstddef>

namespace tsl {

// Fills `size` bytes; false when the system gives none.
bool SystemRandom(unsigned char* bytes, std::size_t size);

}  // namespace tsl

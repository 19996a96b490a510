// Bytes from the operating system's random source: getrandom on POSIX, the system's
// preferred generator of bcrypt.dll (a System32 library) on Windows.
#pragma once

#include <cstddef>

namespace tsl {

// Fills `size` bytes; false when the system gives none.
bool SystemRandom(unsigned char* bytes, std::size_t size);

}  // namespace tsl

#include <windows.h>
// windows.h first: ntsecapi.h needs its types.
#include <ntsecapi.h>

#include "platform/system_random.h"

namespace tsl {

// RtlGenRandom (exported by advapi32.dll as SystemFunction036): the system's generator from a
// library every Windows program loads from System32, so that no DLL beside the program can
// stand in for it.
bool SystemRandom(unsigned char* bytes, std::size_t size) {
  return RtlGenRandom(bytes, static_cast<ULONG>(size)) != FALSE;
}

}  // namespace tsl

#include <windows.h>

#include "platform/name_cache.h"
#include "platform/win32/handle.h"
#include "platform/win32/procedure.h"

namespace tsl {
namespace {

// The DNS Client's own call, from System32 only: the program runs elevated, and neither a
// DLL planted beside it nor a shell-out to ipconfig may run in its place.
class DnsClientCache final : public NameCache {
 public:
  void Flush() override {
    const UniqueModule dnsapi(LoadLibraryExA("dnsapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (!dnsapi.valid()) return;
    const auto flush = ProcedureOf<BOOL(WINAPI*)()>(dnsapi.get(), "DnsFlushResolverCache");
    if (flush != nullptr) flush();
  }
};

}  // namespace

NameCache& SystemNameCache() {
  static DnsClientCache cache;
  return cache;
}

}  // namespace tsl

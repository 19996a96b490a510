#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>

#include <array>
#include <cstdint>
#include <cstring>

#include "platform/name_cache.h"
#include "platform/posix/posix_io.h"

namespace tsl {
namespace {

// What `nscd -i hosts` sends, without a shell or the program: a request header (protocol
// version 2, request INVALIDATE, key length) and the database's name.
constexpr std::int32_t kNscdVersion = 2;
constexpr std::int32_t kNscdInvalidate = 10;
constexpr char kDatabase[] = "hosts";
constexpr std::array<const char*, 2> kNscdSockets = {"/var/run/nscd/socket", "/run/nscd/socket"};

class NscdHostsCache final : public NameCache {
 public:
  void Flush() override {
    for (const char* path : kNscdSockets) {
      if (Invalidate(path)) return;
    }
  }

 private:
  static bool Invalidate(const char* path) {
    const UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.valid()) return false;
    // A daemon that does not answer at once is not waited for.
    const timeval limit{1, 0};
    ::setsockopt(fd.get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    ::setsockopt(fd.get(), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path, sizeof address.sun_path - 1);
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
      return false;
    }
    const std::array<std::int32_t, 3> header = {kNscdVersion, kNscdInvalidate, sizeof kDatabase};
    std::string request(reinterpret_cast<const char*>(header.data()), sizeof header);
    request.append(kDatabase, sizeof kDatabase);
    std::int32_t result = -1;
    return WriteAll(fd.get(), request) &&
           ::recv(fd.get(), &result, sizeof result, MSG_WAITALL) == sizeof result;
  }
};

}  // namespace

NameCache& SystemNameCache() {
  static NscdHostsCache cache;
  return cache;
}

}  // namespace tsl

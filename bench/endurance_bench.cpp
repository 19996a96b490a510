// Endurance: activate and deactivate over and over on a 1 000-name block list. Every cycle
// must give back the hosts file byte for byte, and the open file descriptors must not grow.
#include <dirent.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "testsupport/test_machine.h"

namespace {

int OpenDescriptors() {
  int count = 0;
  DIR* fds = ::opendir("/proc/self/fd");
  while (::readdir(fds) != nullptr) ++count;
  ::closedir(fds);
  return count;
}

}  // namespace

int main(int argc, char** argv) {
  const int cycles = argc > 1 ? static_cast<int>(std::strtol(argv[1], nullptr, 10)) : 10'000;
  if (cycles <= 0) {
    std::fprintf(stderr, "usage: endurance_bench [cycles]\n");
    return 2;
  }
  tsl::testing::TempMachine rig;
  const std::string& hosts = rig.hosts;
  const std::string original = "127.0.0.1 localhost\r\n::1 localhost\r\n# own line \xe9\r\n";
  tsl::testing::WriteBytes(hosts, original);
  std::string block_list;
  for (int i = 0; i < 1000; ++i)
    block_list += "t" + std::to_string(i) + ".tracker-mail.example\r\n";
  tsl::testing::WriteBytes(rig.block_list, block_list);

  const int descriptors_before = OpenDescriptors();
  const auto start = std::chrono::steady_clock::now();
  for (int cycle = 0; cycle < cycles; ++cycle) {
    rig.Activate();
    rig.Deactivate();
    if (tsl::testing::ReadBytes(hosts) != original) {
      std::printf("cycle %d: the hosts file was not restored byte for byte\n", cycle);
      return 1;
    }
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const int descriptors_after = OpenDescriptors();
  std::printf("%d activate/deactivate cycles in %.1f s: %.0f cycles per second\n", cycles, seconds,
              cycles / seconds);
  std::printf("open file descriptors: %d before, %d after\n", descriptors_before,
              descriptors_after);
  return descriptors_after > descriptors_before ? 1 : 0;
}

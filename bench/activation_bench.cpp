// Activation and deactivation against block lists of growing size, next to the I/O floor:
// a file as large as the section written as activation writes the hosts file, a flushed
// copy that replaces it. Each size runs in its own process, so its peak memory is its own.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/large_allocations.h"
#include "testsupport/forked_posix.h"
#include "testsupport/test_machine.h"

namespace tsl {
namespace {

constexpr int kRuns = 5;
constexpr double kMiB = 1024.0 * 1024.0;

double MedianMilliseconds(const std::function<void()>& prepare, const std::function<void()>& work) {
  std::vector<double> times;
  for (int run = 0; run < kRuns; ++run) {
    prepare();
    const auto start = std::chrono::steady_clock::now();
    work();
    times.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// Host names of about 25 bytes, written out in small pieces so that the parent process
// never holds the list in memory.
void WriteBlockList(const std::string& path, size_t names) {
  FILE* out = std::fopen(path.c_str(), "wb");
  for (size_t i = 0; i < names; ++i) {
    std::fprintf(out, "t%07zu.tracker-mail.example\r\n", i);
  }
  std::fclose(out);
}

void MeasureOneSize(size_t names) {
  GiveLargeBuffersTheirOwnPages();  // as the program does at start-up
  testing::TempMachine rig;
  const std::string& hosts = rig.hosts;
  const std::string original = "127.0.0.1 localhost\n::1 localhost\n";
  WriteBlockList(rig.block_list, names);
  const auto reset_hosts = [&] { testing::WriteBytes(hosts, original); };

  const double activate = MedianMilliseconds(reset_hosts, [&] { rig.Activate(); });
  // A line added after the section, so that the section is found and taken out; kept in
  // a file, so that this process's peak memory stays the operations' own.
  const std::string edited = rig.app.Join("edited");
  std::filesystem::copy_file(hosts, edited);
  FILE* append = std::fopen(edited.c_str(), "ab");
  std::fputs("10.0.0.6 printer\r\n", append);
  std::fclose(append);
  const double deactivate = MedianMilliseconds(
      [&] {
        std::filesystem::copy_file(edited, hosts,
                                   std::filesystem::copy_options::overwrite_existing);
      },
      [&] { rig.Deactivate(); });
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  const double peak_mib = static_cast<double>(usage.ru_maxrss) / 1024.0;

  // The floor: a file as large as the section activation adds, replaced by a flushed copy.
  reset_hosts();
  rig.Activate();
  const double section_bytes =
      static_cast<double>(rig.files.ReadWholeFile(hosts).size() - original.size());
  const std::string section_copy = rig.app.Join("section");
  testing::WriteBytes(section_copy, rig.files.ReadWholeFile(hosts).substr(original.size()));
  const double floor = MedianMilliseconds(
      [] {},
      [&] {
        rig.files.WriteFileOver(rig.app.Join("copy"), rig.files.ReadWholeFile(section_copy));
      });

  const double limit_mib = 2 * section_bytes / kMiB + 16;
  // The speed target holds at a million names, where fixed costs (two flushed files
  // besides the hosts file) no longer dominate; the memory target holds at every size.
  const bool speed_judged = names >= 1'000'000;
  const bool within = peak_mib <= limit_mib && (!speed_judged || activate <= 1.5 * floor);
  std::printf("%9zu %10.1f %11.1f %13.1f %10.1f %6.2f %10.1f %10.1f  %s\n", names,
              section_bytes / kMiB, activate, deactivate, floor, activate / floor, peak_mib,
              limit_mib, within ? "ok" : "OVER TARGET");
}

}  // namespace
}  // namespace tsl

int main() {
  std::printf(
      "activation: median of %d runs; floor: flushed copy replacing a file of the section's size\n",
      tsl::kRuns);
  std::printf("%9s %10s %11s %13s %10s %6s %10s %10s\n", "names", "section", "activate",
              "deactivate", "floor", "ratio", "peak RSS", "RSS limit");
  std::printf("%9s %10s %11s %13s %10s %6s %10s %10s\n", "", "MiB", "ms", "ms", "ms", "", "MiB",
              "MiB");
  for (const size_t names : {10'000UL, 100'000UL, 1'000'000UL}) {
    std::fflush(stdout);
    const int status = tsl::testing::StatusOfForked([&] {
      tsl::MeasureOneSize(names);
      std::fflush(stdout);
      return 0;
    });
    if (status != 0) return 1;
  }
  return 0;
}

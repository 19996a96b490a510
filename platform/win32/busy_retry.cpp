#include "platform/win32/busy_retry.h"

#include <algorithm>
#include <thread>

namespace tsl {
namespace {

constexpr std::chrono::milliseconds kFirstPause{25};
constexpr std::chrono::milliseconds kLongestPause{500};

}  // namespace

bool IsBusy(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
         error == ERROR_ACCESS_DENIED || error == ERROR_UNABLE_TO_REMOVE_REPLACED;
}

BusyRetry::BusyRetry()
    : deadline_(std::chrono::steady_clock::now() + kBusyFileWait), pause_(kFirstPause) {}

bool BusyRetry::Again(DWORD error) {
  if (!IsBusy(error)) return false;
  const auto now = std::chrono::steady_clock::now();
  if (now >= deadline_) return false;
  std::this_thread::sleep_for(
      std::min<std::chrono::steady_clock::duration>(pause_, deadline_ - now));
  pause_ = std::min(pause_ + kFirstPause, kLongestPause);
  return true;
}

}  // namespace tsl

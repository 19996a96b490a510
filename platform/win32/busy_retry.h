// How a file step waits for a file that another process has open: scanners, indexers,
// backup programs and editors hold the hosts file, the backup, the block list and the
// settings for a moment at a time, and a step that meets one of them tries again instead
// of failing or falling back to a weaker way.
#pragma once

#include <windows.h>

#include <chrono>

namespace tsl {

// How long, in all, a step waits for a busy file before it fails.
inline constexpr std::chrono::milliseconds kBusyFileWait{10000};

// Whether `error` means another process holds the file in a way that keeps this step out
// for now. A sharing or lock violation always does; so does ERROR_ACCESS_DENIED on a file
// that exists (a delete is pending on it, or a rename meets it open), and ReplaceFile's
// ERROR_UNABLE_TO_REMOVE_REPLACED. The creation of a new file that is refused is not busy:
// no other process can hold a name that did not exist.
bool IsBusy(DWORD error);

// One step's bounded patience: after each failed attempt, Again(error) pauses and returns
// true while the error means busy and time is left, the pauses growing from 25 ms to
// 500 ms, so that a hold of a fraction of a second costs little and a hold for ever ends
// in the step's failure after about kBusyFileWait.
class BusyRetry {
 public:
  BusyRetry();
  bool Again(DWORD error);

 private:
  std::chrono::steady_clock::time_point deadline_;
  std::chrono::milliseconds pause_;
};

// Makes the call `step` (one that returns a Win32 BOOL) until it succeeds or fails in a way
// that is not busy, or the wait is over; returns its error, ERROR_SUCCESS once it succeeded.
template <typename Step>
DWORD RetryWhileBusy(Step step) {
  BusyRetry retry;
  while (true) {
    if (step()) return ERROR_SUCCESS;
    const DWORD error = GetLastError();
    if (!retry.Again(error)) return error;
  }
}

}  // namespace tsl

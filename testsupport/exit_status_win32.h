// A started program's exit status, for tests that run the built programs.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

namespace tsl::testing {

// Waits up to `milliseconds` for the process to end and returns its exit status; a process
// still running by then is a test failure, with STILL_ACTIVE as its status.
inline DWORD ExitStatusWithin(HANDLE process, DWORD milliseconds) {
  if (WaitForSingleObject(process, milliseconds) != WAIT_OBJECT_0) {
    ADD_FAILURE() << "the program did not end within " << milliseconds << " ms";
    return STILL_ACTIVE;
  }
  DWORD status = ~0U;
  GetExitCodeProcess(process, &status);
  return status;
}

}  // namespace tsl::testing

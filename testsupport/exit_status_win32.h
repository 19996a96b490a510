// Programs the tests start (the built programs, the installers, msiexec) and their exit
// statuses.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/handle.h"

namespace tsl::testing {

// A path or argument in the ANSI code page, for the wide functions that start programs.
inline std::wstring Wide(const std::string& ansi) {
  std::wstring wide(ansi.size(), L'\0');
  wide.resize(
      static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()),
                                              wide.data(), static_cast<int>(wide.size()))));
  return wide;
}

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

// A command line started, to be waited for. With `output`, the program writes its standard
// output and error there, with no console window of its own.
class Started {
 public:
  explicit Started(const std::wstring& command, HANDLE output = nullptr) {
    std::wstring command_line = command;  // CreateProcessW may write to it
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (output != nullptr) {
      startup.dwFlags = STARTF_USESTDHANDLES;
      startup.hStdOutput = output;
      startup.hStdError = output;
      startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    }
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, output != nullptr,
                        output != nullptr ? CREATE_NO_WINDOW : 0, nullptr, nullptr, &startup,
                        &process)) {
      ADD_FAILURE() << "cannot start a program, error " << GetLastError();
      return;
    }
    process_.reset(process.hProcess);
    thread_.reset(process.hThread);
    id_ = process.dwProcessId;
  }
  explicit Started(const std::string& command) : Started(Wide(command)) {}

  // One that a failed test left running goes, so that it holds no file of the next test.
  ~Started() {
    if (Running()) {
      Kill(1);
      WaitForSingleObject(process_.get(), 30'000);
    }
  }
  Started(const Started&) = delete;
  Started& operator=(const Started&) = delete;

  [[nodiscard]] DWORD id() const { return id_; }
  [[nodiscard]] bool Running() const {
    return process_.valid() && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
  }
  void Kill(UINT status) { TerminateProcess(process_.get(), status); }
  // Its exit status.
  DWORD Wait(DWORD milliseconds = 180'000) {
    return process_.valid() ? ExitStatusWithin(process_.get(), milliseconds) : ~0U;
  }

 private:
  UniqueNullableHandle process_;
  UniqueNullableHandle thread_;
  DWORD id_ = 0;
};

// Runs a command line and waits for it; returns its exit status.
inline DWORD RunAndWait(const std::string& command) { return Started(command).Wait(); }

// Another program holding the hosts file open with no sharing, so that every read of it
// fails, as an installer meets it.
class HostsFileHeldOpen {
 public:
  explicit HostsFileHeldOpen(const std::string& hosts)
      : file_(CreateFileA(hosts.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr)) {
    EXPECT_TRUE(file_.valid());
  }

 private:
  UniqueHandle file_;
};

}  // namespace tsl::testing

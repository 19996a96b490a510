#include <windows.h>

#include <stdexcept>

#include "platform/win32/handle.h"
#include "testsupport/child_process.h"

namespace tsl::testing {

struct ChildProcess::Process {
  UniqueHandle handle;
};

ChildProcess::ChildProcess(const std::string& test, const std::string& name,
                           const std::string& value)
    : process_(std::make_unique<Process>()) {
  char program[MAX_PATH];
  GetModuleFileNameA(nullptr, program, MAX_PATH);
  std::string command = "\"";
  command.append(program).append("\" --gtest_filter=").append(test).append(" --gtest_brief=1");
  // The child inherits the environment as it stands when it starts.
  SetEnvironmentVariableA(name.c_str(), value.c_str());
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  const BOOL created = CreateProcessA(program, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                      nullptr, &startup, &started);
  SetEnvironmentVariableA(name.c_str(), nullptr);
  if (!created) throw std::runtime_error("cannot start a child process");
  CloseHandle(started.hThread);
  process_->handle.reset(started.hProcess);
}

ChildProcess::~ChildProcess() {
  DWORD code = 0;
  if (GetExitCodeProcess(process_->handle.get(), &code) && code == STILL_ACTIVE) {
    Kill();
    Wait();
  }
}

int ChildProcess::Wait() {
  WaitForSingleObject(process_->handle.get(), INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process_->handle.get(), &code);
  return static_cast<int>(code);
}

void ChildProcess::Kill() { TerminateProcess(process_->handle.get(), 137); }

}  // namespace tsl::testing

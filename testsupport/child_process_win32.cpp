#include <windows.h>

#include "testsupport/child_process.h"
#include "testsupport/exit_status_win32.h"

namespace tsl::testing {

struct ChildProcess::Process {
  explicit Process(const std::string& command) : started(command) {}
  Started started;
};

ChildProcess::ChildProcess(const std::string& test, const std::string& name,
                           const std::string& value) {
  char program[MAX_PATH];
  GetModuleFileNameA(nullptr, program, MAX_PATH);
  // The child inherits the environment as it stands when it starts.
  SetEnvironmentVariableA(name.c_str(), value.c_str());
  process_ = std::make_unique<Process>("\"" + std::string(program) + "\" --gtest_filter=" + test +
                                       " --gtest_brief=1");
  SetEnvironmentVariableA(name.c_str(), nullptr);
}

ChildProcess::~ChildProcess() = default;  // Started kills one still running

int ChildProcess::Wait() { return static_cast<int>(process_->started.Wait(INFINITE)); }

void ChildProcess::Kill() { process_->started.Kill(137); }

}  // namespace tsl::testing

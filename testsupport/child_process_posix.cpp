#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "testsupport/child_process.h"

namespace tsl::testing {

struct ChildProcess::Process {
  pid_t pid = -1;
  int status = -1;
};

ChildProcess::ChildProcess(const std::string& test, const std::string& name,
                           const std::string& value)
    : process_(std::make_unique<Process>()) {
  const std::string filter = "--gtest_filter=" + test;
  process_->pid = ::fork();
  if (process_->pid < 0) throw std::runtime_error("cannot start a child process");
  if (process_->pid == 0) {
    ::setenv(name.c_str(), value.c_str(), 1);
    ::execl("/proc/self/exe", "child", filter.c_str(), "--gtest_brief=1",
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
}

ChildProcess::~ChildProcess() {
  if (process_->pid > 0 && process_->status < 0) {
    Kill();
    Wait();
  }
}

int ChildProcess::Wait() {
  if (process_->status >= 0) return process_->status;
  int status = 0;
  while (::waitpid(process_->pid, &status, 0) < 0) {
  }
  process_->status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return process_->status;
}

void ChildProcess::Kill() { ::kill(process_->pid, SIGKILL); }

}  // namespace tsl::testing

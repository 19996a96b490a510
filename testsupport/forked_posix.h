// A step run in a forked copy of this process: under other rights, as a run that is
// killed, or as another program started by exec.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <thread>

namespace tsl::testing {

// Runs `step` in a child process, whose exit status is what `step` returns, and kills it
// `kill_after` after it started, when that is given. Returns the child's exit status, or
// 128 plus the signal that ended it.
template <typename Step>
int StatusOfForked(Step step, std::optional<std::chrono::microseconds> kill_after = std::nullopt) {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(step());
  if (kill_after) {
    std::this_thread::sleep_for(*kill_after);
    ::kill(child, SIGKILL);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace tsl::testing

// This test program started again as a child process that runs one test, for tests of
// what happens when two processes meet or one is killed.
#pragma once

#include <memory>
#include <string>

namespace tsl::testing {

class ChildProcess {
 public:
  // Runs only `test` ("Suite.Name") in a new process of this program, with the variable
  // `name` set to `value` in its environment.
  ChildProcess(const std::string& test, const std::string& name, const std::string& value);
  ~ChildProcess();  // kills a child that is still running
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Waits for the child to end and returns its exit status.
  int Wait();
  void Kill();

 private:
  struct Process;
  std::unique_ptr<Process> process_;
};

}  // namespace tsl::testing

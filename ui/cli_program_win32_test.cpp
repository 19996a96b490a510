#include <windows.h>

#include <gtest/gtest.h>

#include <sstream>

#include "build_facts.h"
#include "platform/win32/handle.h"
#include "testsupport/exit_status_win32.h"
#include "testsupport/test_machine.h"
#include "testsupport/test_support.h"
#include "ui/cli.h"
#include "ui/form_load.h"

namespace tsl {
namespace {

std::wstring BuiltProgram() { return testing::Wide(ExecutableFolder()) + L"\\tessaline-cli.exe"; }

// A console program (tessaline-cli.exe, built beside the tests, unless another is named)
// started with its standard output on a pipe.
class CliProgram {
 public:
  // pipe_bytes: the pipe's buffer, so small that the program waits for its reader.
  CliProgram(const char* command, DWORD pipe_bytes, const std::wstring& program = BuiltProgram())
      : writer_(Pipe(pipe_bytes)),
        program_(L"\"" + program + L"\" " + testing::Wide(command), writer_.get()) {
    writer_.reset();  // the program's copy is the only writer now
  }

  [[nodiscard]] bool Running() const { return program_.Running(); }
  void CloseReader() { reader_.reset(); }

  // Everything the program writes, until it ends.
  std::string ReadAll() {
    std::string bytes;
    char buffer[512];
    DWORD got = 0;
    while (ReadFile(reader_.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
      bytes.append(buffer, got);
    }
    return bytes;
  }

  DWORD Wait() { return program_.Wait(30'000); }

 private:
  // A pipe of `bytes`: this end kept to read, the writing end returned for the program.
  HANDLE Pipe(DWORD bytes) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE reader = nullptr;
    HANDLE writer = nullptr;
    EXPECT_TRUE(CreatePipe(&reader, &writer, &inherit, bytes));
    reader_.reset(reader);
    SetHandleInformation(reader, HANDLE_FLAG_INHERIT, 0);
    return writer;
  }

  UniqueNullableHandle reader_;
  UniqueNullableHandle writer_;
  testing::Started program_;
};

// What the same command writes when run in this process.
std::string InProcessOutput(const std::vector<std::string>& args) {
  const testing::TempMachine rig;
  std::ostringstream out;
  std::ostringstream err;
  RunCommand(args, rig.machine, out, err);
  return out.str() + err.str();
}

TEST(CliProgramTest, WritesTheSameBytesAndStatusesAsOnPosix) {
  CliProgram version("--version", 0);
  EXPECT_EQ(version.ReadAll(), "tessaline " + VersionText() + "\n") << "LF, never CR LF";
  EXPECT_EQ(version.Wait(), 0U);

  CliProgram usage("activte", 0);
  EXPECT_EQ(usage.ReadAll(), InProcessOutput({"activte"}));
  EXPECT_EQ(usage.Wait(), 2U);
}

TEST(CliProgramTest, OutputWhoseReaderWentAwayIsAFailure) {
  CliProgram help("--help", 1);
  help.CloseReader();
  EXPECT_EQ(help.Wait(), 1U);
}

// The installer and uninstaller refuse to run under the window, not under the console
// program, which they run themselves.
TEST(CliProgramTest, TheConsoleProgramDoesNotHoldTheWindowsMutex) {
  CliProgram help("--help", 1);
  Sleep(500);
  ASSERT_TRUE(help.Running()) << "the program waits for its reader";
  const UniqueNullableHandle running(OpenMutexA(SYNCHRONIZE, FALSE, TSL_RUNNING_MUTEX));
  EXPECT_FALSE(running.valid());
  EXPECT_EQ(help.ReadAll(), InProcessOutput({"--help"}));
  EXPECT_EQ(help.Wait(), 0U);
}

// The manifest's UTF-8 code page: from a folder whose name the Western code page cannot
// hold, the program runs (as the window program does), and the paths it reports come out in
// UTF-8.
TEST(CliProgramTest, RunsFromAFolderTheCodePageCannotHoldAndReportsItInUtf8) {
  ASSERT_EQ(GetACP(), 1252U) << "the folder is named for the Western code page";
  const testing::TempDir parent;
  const std::wstring folder = testing::Wide(parent.path()) + L"\\\u03A9mega";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  const std::wstring program = folder + L"\\tessaline-cli.exe";
  ASSERT_TRUE(CopyFileW(BuiltProgram().c_str(), program.c_str(), TRUE));

  CliProgram state("state", 0, program);
  const std::string word = state.ReadAll();
  EXPECT_NE(state.Wait(), 1U) << word;
  // With no data.dat beside it, activation fails before the hosts file is written, naming
  // the block list's path.
  CliProgram activate("activate", 0, program);
  const std::string report = activate.ReadAll();
  EXPECT_EQ(activate.Wait(), 1U) << report;
  EXPECT_NE(report.find(parent.path() + "\\\xCE\xA9mega\\data.dat"), std::string::npos) << report;
}

}  // namespace
}  // namespace tsl

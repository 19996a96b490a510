#include "testsupport/test_machine.h"
#include "ui/cli.h"

#include <gtest/gtest.h>

#include <sstream>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "protection/real_file_system.h"
#include "settings/registry_file.h"
#include "support/posix_io.h"
#include "testsupport/test_support.h"

namespace tsl {
namespace {

class CliTest : public ::testing::Test {
 protected:
  int Run(const std::vector<std::string>& args) {
    out_.str("");
    err_.str("");
    return RunCommand(args, machine_, out_, err_);
  }
  std::string Hosts() const { return windows_.Join("hosts"); }

  testing::TempDir windows_;
  testing::TempDir app_;
  RealFileSystem files_{windows_.path()};
  testing::ScratchRegistry registry_;
  Machine machine_ = testing::TestMachine(files_, registry_, app_.path());
  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(CliTest, StatusPrintsTheFourLines) {
  testing::WriteBytes(Hosts(), "");
  RegistrySaveString(registry_, kHkeyLocalMachine, kSettingsKey, "Servers", "385");
  for (const auto& args : {std::vector<std::string>{}, std::vector<std::string>{"status"}}) {
    EXPECT_EQ(Run(args), 0);
    EXPECT_EQ(out_.str(),
              "Your system has been analyzed and is ready to be protected.\n"
              "Activate: enabled\n"
              "TSL Version: 2.0.1\n"
              "Tracking servers blocked: 385\n");
    EXPECT_EQ(err_.str(), "");
  }
}

TEST_F(CliTest, ActivateAndDeactivateReportTheirStatus) {
  testing::WriteBytes(Hosts(), "original\n");
  testing::WriteBytes(app_.Join("data.dat"), "a.example\r\n");
  EXPECT_EQ(Run({"activate"}), 0);
  EXPECT_EQ(out_.str(), "Protection activated successfuly.\n");

  EXPECT_EQ(Run({"activate"}), 3) << "Activate is disabled once protection is on";
  EXPECT_EQ(err_.str(),
            "Activate is not available: Your system has been analyzed and is ready to be "
            "protected. However, it appears that TSL is already functioning on this computer.\n");
  EXPECT_EQ(out_.str(), "");

  EXPECT_EQ(Run({"deactivate"}), 0);
  EXPECT_EQ(out_.str(),
            "Protection turned-off successfuly. Your machine is now vulnerable to email bugs.\n");
  EXPECT_EQ(testing::ReadBytes(Hosts()), "original\n");
}

TEST_F(CliTest, DeactivateWithoutABackupIsNotAvailable) {
  testing::WriteBytes(Hosts(), "original\n");
  EXPECT_EQ(Run({"deactivate"}), 3);
  EXPECT_EQ(err_.str(),
            "An error occured while trying to restore your settings. Back-up file not found or is "
            "corrupted.\n");
  EXPECT_EQ(out_.str(), "");
}

TEST_F(CliTest, OptionsAndUsageErrors) {
  EXPECT_EQ(Run({"--version"}), 0);
  EXPECT_EQ(out_.str(), "tessaline 2.0.1\n");
  EXPECT_EQ(Run({"--help"}), 0);
  EXPECT_NE(out_.str().find("usage: tessaline"), std::string::npos);
  EXPECT_EQ(Run({"activte"}), 2);
  EXPECT_NE(err_.str().find("usage: tessaline"), std::string::npos);
  EXPECT_EQ(Run({"status", "extra"}), 2);
  EXPECT_FALSE(testing::PathExists(app_.Join("host.bak"))) << "no command ran";
}

TEST_F(CliTest, ControlCharactersReachTheTerminalEscaped) {
  testing::WriteBytes(Hosts(), "");
  RegistrySaveString(registry_, kHkeyLocalMachine, kSettingsKey, "Servers",
                     "385\n\x1b[31mfake line\x7f\t");
  EXPECT_EQ(Run({"status"}), 0);
  EXPECT_EQ(out_.str(),
            "Your system has been analyzed and is ready to be protected.\n"
            "Activate: enabled\n"
            "TSL Version: 2.0.1\n"
            "Tracking servers blocked: 385\\n\\x1b[31mfake line\\x7f\\t\n");
}

TEST_F(CliTest, EveryFailureIsOneLineAndStatusOne) {
  testing::WriteBytes(Hosts(), "original\n");
  testing::WriteBytes(app_.Join("data.dat"), "a.example\r\n");
  RegistryFile unwritable(app_.path());  // a folder where the store's file should be
  const Machine machine = testing::TestMachine(files_, unwritable, app_.path());
  EXPECT_EQ(RunCommand({"activate"}, machine, out_, err_), 1);
  EXPECT_EQ(out_.str(), "") << "no success is reported";
  EXPECT_EQ(err_.str(), "tessaline: Could not record \"Blocked\" in \"" + app_.path() +
                            "\": not a regular file\n");
  EXPECT_EQ(testing::ReadBytes(app_.Join("host.bak")), "original\n");

  err_.str("");
  const std::string odd_path = app_.Join("odd\x1b]0;title\x07");
  EXPECT_EQ(ReportingFailures(err_, [&]() -> int { throw FileError("read", odd_path, "x"); }), 1);
  EXPECT_EQ(err_.str(),
            "tessaline: Could not read \"" + app_.path() + "/odd\\x1b]0;title\\x07\": x\n");
  err_.str("");
  EXPECT_EQ(ReportingFailures(err_, []() -> int { throw 42; }), 1);
  EXPECT_EQ(err_.str(), "tessaline: An unexpected failure ended Tessaline.\n");
}

// The real program, built beside the tests: output nobody can read is a failure, and
// a program that cannot tell where it lives touches no file at all.
class CliProgramTest : public ::testing::Test {
 protected:
  CliProgramTest() { testing::WriteBytes(windows_.Join("hosts"), "original\r\n"); }

  // Runs the program with stdout on `out`, from the folder `cwd`, and returns its status.
  int Run(int out, int program_folder, int cwd, const char* command) {
    const pid_t child = ::fork();
    if (child == 0) {
      ::setenv("TESSALINE_WINDIR", windows_.path().c_str(), 1);
      ::setenv("TESSALINE_REGISTRY", windows_.Join("registry.reg").c_str(), 1);
      ::setenv("TESSALINE_LOCK", windows_.Join("lock/tessaline.lock").c_str(), 1);
      const int program = ::openat(program_folder, "tessaline", O_RDONLY);
      const int quiet = ::open("/dev/null", O_WRONLY);
      if (program < 0 || ::dup2(out, 1) < 0 || ::dup2(quiet, 2) < 0 || ::fchdir(cwd) != 0) {
        ::_exit(126);
      }
      char* const argv[] = {const_cast<char*>("tessaline"), const_cast<char*>(command), nullptr};
      ::fexecve(program, argv, environ);
      ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  testing::TempDir windows_;
};

TEST_F(CliProgramTest, OutputThatCannotBeWrittenIsAFailure) {
  const UniqueFd here(::open(ExecutableFolder().c_str(), O_RDONLY | O_DIRECTORY));
  const UniqueFd full(::open("/dev/full", O_WRONLY));
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  const UniqueFd reader_gone(ends[1]);
  ::close(ends[0]);
  EXPECT_EQ(Run(full.get(), here.get(), here.get(), "status"), 1);
  EXPECT_EQ(Run(full.get(), here.get(), here.get(), "--help"), 1);
  EXPECT_EQ(Run(reader_gone.get(), here.get(), here.get(), "status"), 1);
}

TEST_F(CliProgramTest, AProgramInAFolderTooDeepToNameTouchesNothing) {
  const testing::TempDir stray;
  testing::WriteBytes(stray.Join("data.dat"), "a.example\r\n");
  testing::WriteBytes(stray.Join("host.bak"), "someone else's file\r\n");
  // A folder deeper than the kernel will spell out for /proc/self/exe, made one short
  // step at a time.
  UniqueFd folder(::open(stray.path().c_str(), O_RDONLY | O_DIRECTORY));
  const std::string step(200, 'd');
  for (int level = 0; level < 24; ++level) {
    ASSERT_EQ(::mkdirat(folder.get(), step.c_str(), 0755), 0);
    folder = UniqueFd(::openat(folder.get(), step.c_str(), O_RDONLY | O_DIRECTORY));
  }
  ASSERT_EQ(
      ::linkat(AT_FDCWD, (ExecutableFolder() + "/tessaline").c_str(), folder.get(), "tessaline", 0),
      0)
      << "the build folder and the temporary folder are on one file system";
  const UniqueFd cwd(::open(stray.path().c_str(), O_RDONLY | O_DIRECTORY));
  const UniqueFd out(::open("/dev/null", O_WRONLY));
  EXPECT_EQ(Run(out.get(), folder.get(), cwd.get(), "activate"), 1);
  EXPECT_EQ(testing::ReadBytes(stray.Join("host.bak")), "someone else's file\r\n");
  EXPECT_EQ(testing::ReadBytes(windows_.Join("hosts")), "original\r\n");
}
}  // namespace
}  // namespace tsl

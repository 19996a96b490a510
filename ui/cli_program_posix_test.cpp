#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

#include "platform/posix/posix_io.h"
#include "platform/real_file_system.h"
#include "testsupport/forked_posix.h"
#include "testsupport/test_support.h"

namespace tsl {
namespace {

// The real program, built beside the tests: output nobody can read is a failure, and
// a program that cannot tell where it lives touches no file at all.
class CliProgramTest : public ::testing::Test {
 protected:
  CliProgramTest() { testing::WriteBytes(windows_.Join("hosts"), "original\r\n"); }

  // Runs the program with stdout on `out`, from the folder `cwd`, and returns its status.
  int Run(int out, int program_folder, int cwd, const char* command) {
    return testing::StatusOfForked([&] {
      ::setenv("TESSALINE_WINDIR", windows_.path().c_str(), 1);
      ::setenv("TESSALINE_REGISTRY", windows_.Join("registry.reg").c_str(), 1);
      ::setenv("TESSALINE_LOCK", windows_.Join("lock/tessaline.lock").c_str(), 1);
      const int program = ::openat(program_folder, "tessaline", O_RDONLY);
      const int quiet = ::open("/dev/null", O_WRONLY);
      if (program < 0 || ::dup2(out, 1) < 0 || ::dup2(quiet, 2) < 0 || ::fchdir(cwd) != 0) {
        return 126;
      }
      char* const argv[] = {const_cast<char*>("tessaline"), const_cast<char*>(command), nullptr};
      ::fexecve(program, argv, environ);
      return 127;
    });
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
  // A copy beside the deep folder, then a link into it: the build folder and the temporary
  // folder may be on two file systems.
  std::filesystem::copy_file(ExecutableFolder() + "/tessaline", stray.Join("tessaline"));
  ASSERT_EQ(::linkat(AT_FDCWD, stray.Join("tessaline").c_str(), folder.get(), "tessaline", 0), 0);
  std::filesystem::remove(stray.Join("tessaline"));
  const UniqueFd cwd(::open(stray.path().c_str(), O_RDONLY | O_DIRECTORY));
  const UniqueFd out(::open("/dev/null", O_WRONLY));
  EXPECT_EQ(Run(out.get(), folder.get(), cwd.get(), "activate"), 1);
  EXPECT_EQ(testing::ReadBytes(stray.Join("host.bak")), "someone else's file\r\n");
  EXPECT_EQ(testing::ReadBytes(windows_.Join("hosts")), "original\r\n");
}
}  // namespace
}  // namespace tsl

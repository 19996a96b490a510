// The operation lock on POSIX is for root's operations alone: another user can neither
// open nor hold it, nor put a file or folder of their own, or a link, in its place.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/file_system.h"
#include "platform/posix/posix_io.h"
#include "protection/operation_lock.h"
#include "testsupport/forked_posix.h"
#include "testsupport/test_support.h"

namespace tsl {
namespace {

using namespace std::chrono_literals;

constexpr uid_t kNobody = 65534;

// Runs `step` in a child process with the rights of nobody; returns its exit status.
template <typename Step>
int AsNobody(Step step) {
  return testing::StatusOfForked([&] {
    if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) return 126;
    return step();
  });
}

std::string FailureText(const std::string& lock) {
  try {
    const OperationLock taken(lock, 0ms);
  } catch (const FileError& failure) {
    return failure.what();
  }
  return "taken";
}

class LockFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    // Others may pass through the test's folder, as they may through /run.
    ASSERT_EQ(::chmod(root_.path().c_str(), 0755), 0);
  }
  testing::TempDir root_;
  std::string lock_ = root_.Join("locks/tessaline.lock");
};

// What `flock -s` on the lock file does, as nobody: 0 when the lock was held for a while.
int HoldShared(const std::string& lock) {
  const UniqueFd fd(::open(lock.c_str(), O_RDONLY));
  if (!fd.valid() || ::flock(fd.get(), LOCK_SH | LOCK_NB) != 0) return 1;
  ::sleep(2);
  return 0;
}

TEST_F(LockFileTest, AnotherUserCanNeitherOpenNorHoldTheLock) {
  { const OperationLock first(lock_, 0ms); }
  struct stat folder {
  }, file{};
  ASSERT_EQ(::stat(root_.Join("locks").c_str(), &folder), 0);
  ASSERT_EQ(::stat(lock_.c_str(), &file), 0);
  EXPECT_EQ(folder.st_mode & 07777, 0700U);
  EXPECT_EQ(file.st_mode & 07777, 0600U);

  const pid_t holder = ::fork();
  if (holder == 0) {
    if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(126);
    ::_exit(HoldShared(lock_));
  }
  std::this_thread::sleep_for(200ms);
  EXPECT_NO_THROW(OperationLock(lock_, 300ms)) << "nobody held root's lock";
  int status = 0;
  ::waitpid(holder, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 1) << "nobody opened the lock file";
}

TEST_F(LockFileTest, ALockPlacedByAnotherUserIsRefused) {
  ASSERT_EQ(::chmod(root_.path().c_str(), 01777), 0);  // a sticky place all may write, as /tmp
  ASSERT_EQ(AsNobody([&] {
              return ::mkdir(root_.Join("locks").c_str(), 0755) == 0 &&
                             ::close(::open(lock_.c_str(), O_CREAT | O_RDWR, 0600)) == 0
                         ? 0
                         : 1;
            }),
            0);
  EXPECT_NE(FailureText(lock_).find("owned by another user"), std::string::npos)
      << FailureText(lock_);

  const testing::TempDir open;
  ASSERT_EQ(::chmod(open.path().c_str(), 0775), 0);
  ASSERT_EQ(::chown(open.path().c_str(), 0, kNobody), 0);
  EXPECT_NE(FailureText(open.Join("tessaline.lock")).find("open to other users"), std::string::npos)
      << "a folder nobody's group may write";
}

TEST_F(LockFileTest, ALinkInTheLocksPlaceIsRefusedAndNotFollowed) {
  const std::string victim = root_.Join("victim");
  testing::WriteBytes(victim, "victim\n");
  ASSERT_EQ(::mkdir(root_.Join("locks").c_str(), 0700), 0);
  ASSERT_EQ(::symlink(victim.c_str(), lock_.c_str()), 0);
  EXPECT_NE(FailureText(lock_).find("a symbolic link"), std::string::npos) << FailureText(lock_);
  EXPECT_EQ(testing::ReadBytes(victim), "victim\n");
}

}  // namespace
}  // namespace tsl

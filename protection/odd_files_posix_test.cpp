// Files that are not what they seem: FIFOs and devices are refused at once, and a hosts
// file that is a symbolic link or a bind mount stays one through a restore, keeping its
// owner, group and permissions.
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "testsupport/test_machine.h"

namespace tsl {
namespace {

using OddFilesTest = testing::ProtectionFixture;

// Each of these would wait for a writer, or read without end, if it were opened as a file.
TEST_F(OddFilesTest, AFifoOrADeviceIsRefusedAtOnce) {
  testing::WriteBytes(hosts, "original\r\n");
  ASSERT_EQ(::mkfifo(block_list.c_str(), 0644), 0);
  try {
    Activate();
    FAIL() << "a FIFO was read as the block list";
  } catch (const FileError& failure) {
    EXPECT_EQ(failure.path(), block_list);
    EXPECT_NE(std::string(failure.what()).find("not a regular file"), std::string::npos);
  }
  std::filesystem::remove(block_list);
  std::filesystem::create_symlink("/dev/zero", block_list);
  EXPECT_THROW(Activate(), FileError);

  const std::string fifo_hosts = windows.Join("fifo-hosts");
  ASSERT_EQ(::mkfifo(fifo_hosts.c_str(), 0644), 0);
  testing::WriteBytes(app.Join("host.bak"), "backup\r\n");
  EXPECT_THROW(DeactivateProtection(machine, fifo_hosts, window), FileError);
  EXPECT_EQ(testing::ReadBytes(hosts), "original\r\n");
}

TEST_F(OddFilesTest, ALinkedHostsFileStaysALinkAndKeepsItsOwnerAndMode) {
  const std::string target = windows.Join("real/hosts");
  testing::WriteBytes(target, "original\r\n");
  ASSERT_EQ(::chown(target.c_str(), 1234, 5678), 0);
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  std::filesystem::create_directories(windows.Join("system32/drivers/etc"));
  std::filesystem::create_symlink(target, hosts);
  testing::WriteBytes(app.Join("data.dat"), "a.example\r\n");
  Activate();
  Deactivate();

  EXPECT_TRUE(std::filesystem::is_symlink(hosts));
  EXPECT_EQ(testing::ReadBytes(target), "original\r\n");
  struct stat info {};
  ASSERT_EQ(::stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 1234U);
  EXPECT_EQ(info.st_gid, 5678U);
  EXPECT_EQ(info.st_mode & 07777, 0640U | S_IWUSR);
}

// As in a container: the hosts file is a mount point of its own, which no rename can
// replace, so the restore writes it in place.
TEST_F(OddFilesTest, ABindMountedHostsFileIsRestoredInPlace) {
  const std::string outside = app.Join("mounted-hosts");
  testing::WriteBytes(outside, "original\r\n");
  testing::WriteBytes(hosts, "");
  if (::mount(outside.c_str(), hosts.c_str(), nullptr, MS_BIND, nullptr) != 0) {
    GTEST_SKIP() << "cannot bind-mount here";
  }
  testing::WriteBytes(app.Join("data.dat"), "a.example\r\n");
  Activate();
  Deactivate();
  EXPECT_EQ(testing::ReadBytes(hosts), "original\r\n");
  ::umount(hosts.c_str());
  EXPECT_EQ(testing::ReadBytes(outside), "original\r\n");
}

}  // namespace
}  // namespace tsl

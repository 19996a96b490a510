// What replacing a file keeps on POSIX: the owner, mode, ACLs and every other extended
// attribute of the hosts file, its hard links; a backup never more readable than the hosts
// file; no planted link followed; no file removed that is not provably a leftover of ours;
// a file too big to read is a report.
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "platform/temporary_name.h"
#include "testsupport/test_machine.h"

namespace tsl {
namespace {

using testing::ReadBytes;
using testing::WriteBytes;

struct stat StatOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
  return info;
}

// Every extended attribute of the file, by name.
std::map<std::string, std::string> Attributes(const std::string& path) {
  std::map<std::string, std::string> found;
  std::vector<char> names(65536);
  const ssize_t size = ::llistxattr(path.c_str(), names.data(), names.size());
  for (const char* name = names.data(); size > 0 && name < names.data() + size;
       name += std::string(name).size() + 1) {
    std::vector<char> value(65536);
    const ssize_t length = ::lgetxattr(path.c_str(), name, value.data(), value.size());
    found[name] = std::string(value.data(), static_cast<size_t>(std::max<ssize_t>(length, 0)));
  }
  return found;
}

bool Shell(const std::string& command) {
  return std::system((command + " 2>/dev/null").c_str()) == 0;
}

class ReplacingTest : public testing::ProtectionFixture {
 protected:
  ReplacingTest() {
    WriteBytes(hosts, "original\r\n");
    WriteBytes(block_list, "a.example\r\n");
  }
};

// The backup is the caller's (root's), writable by no one else, and readable by others only
// where the hosts file is: a user's or group-writable hosts file (and a backup an earlier
// version gave their owner) gives a backup that root's own checks still trust.
TEST_F(ReplacingTest, TheBackupIsTheCallersAndNeverMoreOpenThanTheHostsFile) {
  const bool root = ::geteuid() == 0;
  struct Case {
    mode_t hosts_mode;
    bool a_users_file;  // owned by nobody, group 50 (as root only)
    mode_t backup_mode;
  };
  const Case cases[] = {{0600, false, 0600}, {0640, false, 0640},  {0644, false, 0644},
                        {0755, false, 0644}, {04666, false, 0644}, {0664, true, 0644},
                        {0640, true, 0600},  {0666, true, 0644},   {0604, true, 0644}};
  for (const Case& row : cases) {
    if (row.a_users_file && !root) continue;
    SCOPED_TRACE(std::to_string(row.hosts_mode) + (row.a_users_file ? " a user's" : ""));
    ASSERT_EQ(::chown(hosts.c_str(), row.a_users_file ? 65534 : ::geteuid(),
                      row.a_users_file ? 50 : ::getegid()),
              0);
    ASSERT_EQ(::chmod(hosts.c_str(), row.hosts_mode), 0);
    WriteBytes(backup, "an earlier version's backup\r\n");
    ASSERT_EQ(::chmod(backup.c_str(), 0666), 0);
    if (root) {
      ASSERT_EQ(::chown(backup.c_str(), 65534, 50), 0);
    }
    files.WriteCopyOf(hosts, ReadBytes(hosts), backup);
    const struct stat backup_stat = StatOf(backup);
    EXPECT_EQ(backup_stat.st_mode & 07777, row.backup_mode);
    EXPECT_EQ(backup_stat.st_uid, ::geteuid());
    EXPECT_EQ(backup_stat.st_gid, ::getegid());
    EXPECT_EQ(ReadBytes(backup), "original\r\n");
  }
}

TEST_F(ReplacingTest, ARestoreKeepsAclsLabelsCapabilitiesAndTheAclMask) {
  ASSERT_EQ(::chmod(hosts.c_str(), 0640), 0);
  if (!Shell("setfacl -m u:65534:rw,g::r '" + hosts + "'")) {
    GTEST_SKIP() << "setfacl (Debian package acl) or ACLs on " << windows.path() << " missing";
  }
  ASSERT_EQ(::setxattr(hosts.c_str(), "user.tessaline-test", "kept", 4, 0), 0)
      << "this file system takes no user attributes";
  if (::geteuid() == 0) {
    ASSERT_EQ(::setxattr(hosts.c_str(), "trusted.tessaline-test", "kept", 4, 0), 0);
    // VFS_CAP_REVISION_2: cap_net_bind_service permitted.
    const unsigned char capability[20] = {0, 0, 0, 2, 0, 4, 0, 0};
    ASSERT_EQ(::setxattr(hosts.c_str(), "security.capability", capability, sizeof capability, 0),
              0);
  }
  const std::map<std::string, std::string> before = Attributes(hosts);
  const mode_t mode = StatOf(hosts).st_mode;
  ASSERT_TRUE(before.count("system.posix_acl_access"));

  WriteBytes(backup, "restored\r\n");
  files.WriteFileOver(hosts, files.ReadOwnFile(backup));
  EXPECT_EQ(ReadBytes(hosts), "restored\r\n");
  EXPECT_EQ(Attributes(hosts), before);
  EXPECT_EQ(StatOf(hosts).st_mode, mode) << "the mask stays rw-, the owning group r--";
}

TEST_F(ReplacingTest, AHostsFileWithOtherHardLinksKeepsThem) {
  const std::string other = windows.Join("hosts.other-name");
  ASSERT_EQ(::link(hosts.c_str(), other.c_str()), 0);
  const ino_t inode = StatOf(hosts).st_ino;
  WriteBytes(backup, "restored\r\n");
  files.WriteFileOver(hosts, files.ReadOwnFile(backup));
  EXPECT_EQ(ReadBytes(other), "restored\r\n");
  EXPECT_EQ(StatOf(hosts).st_ino, inode);
  EXPECT_EQ(StatOf(hosts).st_nlink, 2U);
}

// host.bak planted as a link to a secret: activation does not write the secret, and
// deactivation does not copy it into the hosts file.
TEST_F(ReplacingTest, APlantedBackupLinkIsRefusedBothWays) {
  const std::string secret = app.Join("secret");
  WriteBytes(secret, "secret\r\n");
  ASSERT_EQ(::chmod(secret.c_str(), 0600), 0);
  ASSERT_EQ(::symlink(secret.c_str(), backup.c_str()), 0);
  try {
    Activate();
    FAIL() << "activation wrote through the link";
  } catch (const FileError& failure) {
    EXPECT_NE(std::string(failure.what()).find("a symbolic link"), std::string::npos)
        << failure.what();
  }
  EXPECT_THROW(Deactivate(), FileError);
  EXPECT_EQ(ReadBytes(secret), "secret\r\n");
  EXPECT_EQ(StatOf(secret).st_mode & 07777, 0600U);
  EXPECT_EQ(ReadBytes(hosts), "original\r\n");
}

// Only a regular file named by the rule and of the caller's own is a leftover, whatever mode
// it had reached (a kill between the copy's last chmod and its rename leaves the file's own).
TEST_F(ReplacingTest, OnlyProvableLeftoversAreRemoved) {
  const std::string leftover = TemporaryStem(hosts) + "Q7dK2mZp9XwL4bN0";
  const std::string wide = TemporaryStem(hosts) + "A7dK2mZp9XwL4bN0";
  const std::string read_only = TemporaryStem(hosts) + "D7dK2mZp9XwL4bN0";
  const std::string foreign = TemporaryStem(hosts) + "B7dK2mZp9XwL4bN0";
  const std::string linked = TemporaryStem(hosts) + "C7dK2mZp9XwL4bN0";
  const std::string person = hosts + ".tsl-backup";
  const std::string settings = windows.Join("registry.reg.tsl-manual");
  testing::WriteLeftover(leftover, "part");
  testing::WriteLeftover(wide, "part");
  ASSERT_EQ(::chmod(wide.c_str(), 0644), 0);
  testing::WriteLeftover(read_only, "part");
  ASSERT_EQ(::chmod(read_only.c_str(), 0444), 0);
  testing::WriteLeftover(foreign, "keep");
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(foreign.c_str(), 65534, 65534), 0);
  }
  ASSERT_EQ(::symlink(person.c_str(), linked.c_str()), 0);
  testing::WriteLeftover(person, "keep");
  testing::WriteLeftover(settings, "keep");
  files.RemoveTemporaryCopies(hosts);
  files.RemoveTemporaryCopies(windows.Join("registry.reg"));
  EXPECT_FALSE(testing::PathExists(leftover));
  EXPECT_FALSE(testing::PathExists(wide));
  EXPECT_FALSE(testing::PathExists(read_only));
  if (::geteuid() == 0) {
    EXPECT_EQ(ReadBytes(foreign), "keep");
  }
  EXPECT_TRUE(S_ISLNK(StatOf(linked).st_mode));
  EXPECT_EQ(ReadBytes(person), "keep");
  EXPECT_EQ(ReadBytes(settings), "keep");
}

// A 64 GiB sparse hosts file: a report that names the step and the file, with no more
// memory taken than a file of the largest size read.
TEST_F(ReplacingTest, AFileTooBigToReadIsAReport) {
  ASSERT_EQ(::truncate(hosts.c_str(), off_t{64} << 30), 0);
  try {
    Activate();
    FAIL() << "a 64 GiB hosts file was read";
  } catch (const FileError& failure) {
    EXPECT_EQ(std::string(failure.what()), "Could not read \"" + hosts + "\": too big");
  }
  EXPECT_FALSE(testing::PathExists(backup));
  EXPECT_EQ(StatOf(hosts).st_size, off_t{64} << 30);
}

}  // namespace
}  // namespace tsl

#include "protection/backup_history.h"

#include <gtest/gtest.h>

#include "testsupport/test_machine.h"

namespace tsl {
namespace {

using testing::PathExists;
using testing::ReadBytes;
using testing::WriteBytes;

std::string Version(int number) { return "version " + std::to_string(number) + "\r\n"; }

class BackupHistoryTest : public testing::ProtectionFixture {
 protected:
  // Activates over the hosts files Version(first) to Version(last) in turn. The
  // deactivation after each leaves a file with no section as it is.
  void ActivateOverVersions(int first, int last) {
    WriteBytes(block_list, "a.example\r\n");
    for (int version = first; version <= last; ++version) {
      WriteBytes(hosts, Version(version));
      Activate();
      Deactivate();
    }
  }
};

TEST_F(BackupHistoryTest, EachReplacedBackupIsKeptAndTheNewestFiveStay) {
  ActivateOverVersions(1, 8);
  EXPECT_EQ(ReadBytes(backup), Version(8));
  for (int number = 1; number <= 7; ++number) {
    const std::string copy = app.Join("host.bak.00000" + std::to_string(number));
    if (number <= 2) {
      EXPECT_FALSE(PathExists(copy)) << copy;
    } else {
      EXPECT_EQ(ReadBytes(copy), Version(number));
    }
  }
  EXPECT_FALSE(PathExists(app.Join("host.bak.000008")));
}

TEST_F(BackupHistoryTest, AnUnchangedBackupIsNotCopied) {
  WriteBytes(hosts, "same\r\n");
  WriteBytes(block_list, "a.example\r\n");
  Activate();
  Deactivate();
  Activate();
  EXPECT_FALSE(PathExists(app.Join("host.bak.000001")));
}

TEST_F(BackupHistoryTest, OnlyTheHistorysOwnNamesAreCountedOrRemoved) {
  const std::vector<std::string> others = {
      "host.bak.00001",    "host.bak.0000001", "host.bak.old",    "host.bak.00000x",
      "host.bak.999999.1", "Host.bak.000001",  "xhost.bak.000001"};
  for (const std::string& name : others) {
    EXPECT_FALSE(IsBackupHistoryName(name)) << name;
    WriteBytes(app.Join(name), "keep");
  }
  EXPECT_TRUE(IsBackupHistoryName("host.bak.000042"));
  WriteBytes(app.Join("host.bak.000040"), "old");
  ActivateOverVersions(0, 5);
  EXPECT_FALSE(PathExists(app.Join("host.bak.000040")));
  EXPECT_EQ(ReadBytes(app.Join("host.bak.000041")), Version(0));  // five copies, 41 to 45
  EXPECT_EQ(ReadBytes(app.Join("host.bak.000045")), Version(4));
  for (const std::string& name : others) EXPECT_EQ(ReadBytes(app.Join(name)), "keep") << name;
}

// Past the millionth copy the numbers grow a digit, and each copy still gets a name of its
// own rather than overwriting the one before.
TEST_F(BackupHistoryTest, TheMillionthCopyAndTheNextKeepTheirOwnNames) {
  EXPECT_TRUE(IsBackupHistoryName("host.bak.1000000"));
  EXPECT_FALSE(IsBackupHistoryName("host.bak.01000000"));
  EXPECT_FALSE(IsBackupHistoryName("host.bak.9999999999999999999")) << "more than 18 digits";
  WriteBytes(app.Join("host.bak.999999"), "old");
  ActivateOverVersions(0, 2);
  EXPECT_EQ(ReadBytes(app.Join("host.bak.1000000")), Version(0));
  EXPECT_EQ(ReadBytes(app.Join("host.bak.1000001")), Version(1));
  EXPECT_EQ(ReadBytes(app.Join("host.bak.999999")), "old");
}

}  // namespace
}  // namespace tsl

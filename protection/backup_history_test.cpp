#include "protection/backup_history.h"

#include <gtest/gtest.h>

#include "protection/protection_fixture.h"

namespace tsl {
namespace {

using testing::PathExists;
using testing::ReadBytes;
using testing::WriteBytes;

using BackupHistoryTest = testing::ProtectionFixture;

TEST_F(BackupHistoryTest, EachReplacedBackupIsKeptAndTheNewestFiveStay) {
  WriteBytes(block_list_, "a.example\r\n");
  for (int version = 1; version <= 8; ++version) {
    WriteBytes(hosts_, "version " + std::to_string(version) + "\r\n");
    Activate();
    Deactivate();  // leaves a file with no section as it is
  }
  EXPECT_EQ(ReadBytes(backup_), "version 8\r\n");
  for (int number = 1; number <= 7; ++number) {
    const std::string copy = app_.Join("host.bak.00000" + std::to_string(number));
    if (number <= 2) {
      EXPECT_FALSE(PathExists(copy)) << copy;
    } else {
      EXPECT_EQ(ReadBytes(copy), "version " + std::to_string(number) + "\r\n");
    }
  }
  EXPECT_FALSE(PathExists(app_.Join("host.bak.000008")));
}

TEST_F(BackupHistoryTest, AnUnchangedBackupIsNotCopied) {
  WriteBytes(hosts_, "same\r\n");
  WriteBytes(block_list_, "a.example\r\n");
  Activate();
  Deactivate();
  Activate();
  EXPECT_FALSE(PathExists(app_.Join("host.bak.000001")));
}

TEST_F(BackupHistoryTest, OnlyTheHistorysOwnNamesAreCountedOrRemoved) {
  const std::vector<std::string> others = {
      "host.bak.00001",    "host.bak.0000001", "host.bak.old",    "host.bak.00000x",
      "host.bak.999999.1", "Host.bak.000001",  "xhost.bak.000001"};
  for (const std::string& name : others) {
    EXPECT_FALSE(IsBackupHistoryName(name)) << name;
    WriteBytes(app_.Join(name), "keep");
  }
  EXPECT_TRUE(IsBackupHistoryName("host.bak.000042"));
  WriteBytes(app_.Join("host.bak.000040"), "old");
  WriteBytes(block_list_, "a.example\r\n");
  for (int version = 0; version < 6; ++version) {
    WriteBytes(hosts_, std::to_string(version));
    Activate();
    Deactivate();
  }
  EXPECT_FALSE(PathExists(app_.Join("host.bak.000040")));
  EXPECT_EQ(ReadBytes(app_.Join("host.bak.000041")), "0");  // five copies, 41 to 45
  EXPECT_EQ(ReadBytes(app_.Join("host.bak.000045")), "4");
  for (const std::string& name : others) EXPECT_EQ(ReadBytes(app_.Join(name)), "keep") << name;
}

// Past the millionth copy the numbers grow a digit, and each copy still gets a name of its
// own rather than overwriting the one before.
TEST_F(BackupHistoryTest, TheMillionthCopyAndTheNextKeepTheirOwnNames) {
  EXPECT_TRUE(IsBackupHistoryName("host.bak.1000000"));
  EXPECT_FALSE(IsBackupHistoryName("host.bak.01000000"));
  EXPECT_FALSE(IsBackupHistoryName("host.bak.9999999999999999999")) << "more than 18 digits";
  WriteBytes(app_.Join("host.bak.999999"), "old");
  WriteBytes(block_list_, "a.example\r\n");
  for (int version = 0; version < 3; ++version) {
    WriteBytes(hosts_, std::to_string(version));
    Activate();
    Deactivate();
  }
  EXPECT_EQ(ReadBytes(app_.Join("host.bak.1000000")), "0");
  EXPECT_EQ(ReadBytes(app_.Join("host.bak.1000001")), "1");
  EXPECT_EQ(ReadBytes(app_.Join("host.bak.999999")), "old");
}

}  // namespace
}  // namespace tsl

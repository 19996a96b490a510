#include "protection/protection.h"

#include <gtest/gtest.h>

#include "testsupport/protection_fixture.h"
#include "protection/window_texts.h"
#include "platform/temporary_name.h"
#include "testsupport/test_machine.h"

namespace tsl {
namespace {

using testing::ReadBytes;
using testing::WriteBytes;

using ProtectionTest = testing::ProtectionFixture;

TEST_F(ProtectionTest, ActivationBacksUpAppendsTheSectionAndRecordsIt) {
  const std::string original = "127.0.0.1 localhost";  // no final line break
  WriteBytes(hosts_, original);
  WriteBytes(block_list_, "a.example\r\nb.example\r\nc.example\r\n");
  Activate();

  EXPECT_EQ(ReadBytes(hosts_), original +
                                   "\r\n#email snoop protection \r\n"
                                   "127.0.0.1     a.example\r\n"
                                   "127.0.0.1     b.example\r\n"
                                   "127.0.0.1     c.example\r\n"
                                   "\r\n");
  EXPECT_EQ(ReadBytes(backup_), original);
  EXPECT_EQ(Blocked(), "1");
  EXPECT_FALSE(window_.command2_enabled);
  EXPECT_EQ(window_.Caption(Label::Label3), kActivated);
}

TEST_F(ProtectionTest, AnEmptyBlockListStillWritesTheHeaderAndTheEmptyLine) {
  WriteBytes(hosts_, "x\r\n");
  WriteBytes(block_list_, "");
  Activate();
  EXPECT_EQ(ReadBytes(hosts_), "x\r\n\r\n#email snoop protection \r\n\r\n");
}

TEST_F(ProtectionTest, AReadOnlyHostsFileIsMadeWritableAndStaysSo) {
  WriteBytes(hosts_, "x\r\n");
  WriteBytes(block_list_, "a.example");
  testing::MakeReadOnly(hosts_);
  Activate();
  EXPECT_FALSE(testing::IsReadOnly(hosts_));
  EXPECT_EQ(ReadBytes(hosts_),
            "x\r\n\r\n#email snoop protection \r\n127.0.0.1     a.example\r\n\r\n");

  // The backup may have taken the read-only mark with it; activating again still works.
  Deactivate();
  Activate();
  EXPECT_EQ(ReadBytes(backup_), "x\r\n");
}

TEST_F(ProtectionTest, AMissingBlockListFailsAfterTheBackupAndChangesNothingElse) {
  WriteBytes(hosts_, "original\r\n");
  WriteBytes(backup_, "stale backup");
  SetBlocked("0");
  try {
    Activate();
    FAIL() << "activation without a block list succeeded";
  } catch (const FileError& failure) {
    EXPECT_EQ(failure.path(), block_list_);
    EXPECT_NE(std::string(failure.what()).find(block_list_), std::string::npos);
  }
  EXPECT_EQ(ReadBytes(backup_), "original\r\n");
  EXPECT_EQ(ReadBytes(hosts_), "original\r\n");
  EXPECT_EQ(Blocked(), "0");
  EXPECT_TRUE(window_.command2_enabled);
}

TEST_F(ProtectionTest, DeactivationRestoresTheHostsFileByteForByte) {
  const std::string original("# hosts \x80\xe9\xff\0 end", 16);  // no final line break
  WriteBytes(hosts_, original);
  WriteBytes(block_list_, "a.example\r\n");
  Activate();
  Deactivate();

  EXPECT_EQ(ReadBytes(hosts_), original);
  EXPECT_EQ(Blocked(), "0");
  EXPECT_TRUE(window_.command2_enabled);
  EXPECT_EQ(window_.Caption(Label::Label3), kDeactivated);
  EXPECT_TRUE(testing::PathExists(backup_)) << "the backup stays for the next time";
  EXPECT_TRUE(window_.information_shown.empty());
}

TEST_F(ProtectionTest, DeactivationWithoutABackupOnlyTellsTheUser) {
  WriteBytes(hosts_, "hosts");
  SetBlocked("1");
  window_.command2_enabled = false;
  Deactivate();
  EXPECT_EQ(window_.information_shown, std::vector<std::string>{std::string(kNoBackup)});
  EXPECT_EQ(ReadBytes(hosts_), "hosts");
  EXPECT_EQ(Blocked(), "1");
  EXPECT_FALSE(window_.command2_enabled);
  EXPECT_EQ(window_.Caption(Label::Label3), kLabel3Created);
}

TEST_F(ProtectionTest, DeactivationWithoutAHostsFileFailsAndChangesNothing) {
  WriteBytes(backup_, "backup");
  SetBlocked("1");
  hosts_.clear();  // start-up found no hosts file
  try {
    Deactivate();
    FAIL() << "a restore without a hosts file succeeded";
  } catch (const FileError& failure) {
    const std::string text = failure.what();
    EXPECT_NE(text.find("no hosts file was found"), std::string::npos) << text;
    EXPECT_NE(text.find(windows_.Join("hosts")), std::string::npos) << "says where it looked";
  }
  EXPECT_EQ(ReadBytes(backup_), "backup");
  EXPECT_EQ(Blocked(), "1");
}

TEST_F(ProtectionTest, ASecondActivationKeepsTheBackupOfTheOriginal) {
  WriteBytes(hosts_, "original\r\n");
  WriteBytes(block_list_, "a.example\r\n");
  Activate();
  SetBlocked("0");  // the write of "1" did not stick, so the next start offers Activate again
  Activate();
  EXPECT_EQ(ReadBytes(backup_), "original\r\n");
  Deactivate();
  EXPECT_EQ(ReadBytes(hosts_), "original\r\n");
}

// What a killed run leaves behind goes with the next operation; nothing else does.
TEST_F(ProtectionTest, TemporaryCopiesLeftBehindAreRemovedAndNothingElse) {
  WriteBytes(hosts_, "original\r\n");
  WriteBytes(block_list_, "a.example\r\n");
  WriteBytes(backup_, "earlier backup\r\n");  // a copy of a missing file may be its only one
  // The history's and the record's too, whether or not the file they were to become exists.
  WriteBytes(app_.Join("host.bak.000001"), "older backup\r\n");
  const std::vector<std::string> leftovers = {
      TemporaryStem(hosts_) + "a1B2c3d4E5f6g7H8", TemporaryStem(backup_) + "zzzzzzzzzzzzzzzz",
      TemporaryStem(app_.Join("host.bak.000001")) + "0000000000000000",
      TemporaryStem(app_.Join("host.bak.000002")) + "Zz09Zz09Zz09Zz09",
      TemporaryStem(app_.Join("host.sec")) + "q1w2e3r4t5y6u7i8"};
  const std::vector<std::string> others = {
      TemporaryStem(hosts_) + "a1B2c3d4E5f6g7H89",
      TemporaryStem(hosts_) + "a1B2c3d4E5f6g7H",
      hosts_ + ".allow",
      hosts_ + ".tsl-backup",
      hosts_ + ".tsl-a1B2c3",
      TemporaryStem(backup_) + "ab.defghijklmnop",
      TemporaryStem(app_.Join("host.bak.01")) + "a1B2c3d4E5f6g7H8",
      TemporaryStem(block_list_) + "a1B2c3d4E5f6g7H8",
      TemporaryStem(app_.Join("host.secret")) + "a1B2c3d4E5f6g7H8"};
  for (const std::string& path : leftovers) testing::WriteLeftover(path, "part");
  for (const std::string& path : others) testing::WriteLeftover(path, "keep");
  Activate();
  for (const std::string& path : leftovers) EXPECT_FALSE(testing::PathExists(path)) << path;
  for (const std::string& path : others) EXPECT_EQ(ReadBytes(path), "keep") << path;
}

// A store that refuses every write, as a registry key the user may not write does.
class RefusingRegistry final : public RegistryHive {
 public:
  [[nodiscard]] std::optional<RegistryValue> Read(std::uint32_t, std::string_view,
                                                  std::string_view) const override {
    return std::nullopt;
  }
  void Write(std::uint32_t, std::string_view, std::string_view name,
             const RegistryValue&) override {
    throw SettingsError(name, "the test's store", "refused");
  }
};

// The state that was not recorded is a failed step, reported as such; the hosts file work
// done before it stays done and can still be undone.
TEST_F(ProtectionTest, AStateThatIsNotRecordedIsAFailureNotASuccess) {
  WriteBytes(hosts_, "original\r\n");
  WriteBytes(block_list_, "a.example\r\n");
  RefusingRegistry refusing;
  const Machine machine = testing::TestMachine(files_, refusing, app_.path());
  EXPECT_THROW(ActivateProtection(machine, hosts_, window_), SettingsError);
  EXPECT_NE(window_.Caption(Label::Label3), kActivated);
  EXPECT_EQ(ReadBytes(backup_), "original\r\n");

  EXPECT_THROW(DeactivateProtection(machine, hosts_, window_), SettingsError);
  EXPECT_NE(window_.Caption(Label::Label3), kDeactivated);
  EXPECT_EQ(ReadBytes(hosts_), "original\r\n");
}

// The name cache is flushed once each operation has changed the hosts file and recorded
// the state, and only then.
TEST_F(ProtectionTest, TheNameCacheIsFlushedAfterEachSuccessAndOnlyThen) {
  WriteBytes(hosts_, "original\r\n");
  WriteBytes(block_list_, "a.example\r\n");
  Deactivate();  // no backup yet
  EXPECT_TRUE(name_cache_.flushes.empty());

  Activate();
  ASSERT_EQ(name_cache_.flushes.size(), 1U);
  EXPECT_EQ(name_cache_.flushes[0].hosts, ReadBytes(hosts_));
  EXPECT_NE(name_cache_.flushes[0].hosts.find("127.0.0.1     a.example"), std::string::npos);
  EXPECT_EQ(name_cache_.flushes[0].blocked, "1");

  Deactivate();
  ASSERT_EQ(name_cache_.flushes.size(), 2U);
  EXPECT_EQ(name_cache_.flushes[1].hosts, "original\r\n");
  EXPECT_EQ(name_cache_.flushes[1].blocked, "0");

  std::remove(block_list_.c_str());
  EXPECT_THROW(Activate(), FileError);
  RefusingRegistry refusing;
  WriteBytes(block_list_, "a.example\r\n");
  EXPECT_THROW(ActivateProtection(testing::TestMachine(files_, refusing, app_.path(), name_cache_),
                                  hosts_, window_),
               SettingsError);
  EXPECT_EQ(name_cache_.flushes.size(), 2U) << "no flush after a failure";
}

}  // namespace
}  // namespace tsl

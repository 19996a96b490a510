#include "protection/protection.h"

#include <gtest/gtest.h>

#include "platform/temporary_name.h"
#include "protection/window_texts.h"
#include "testsupport/test_machine.h"

namespace tsl {
namespace {

using testing::ReadBytes;
using testing::WriteBytes;

using ProtectionTest = testing::ProtectionFixture;

TEST_F(ProtectionTest, ActivationBacksUpAppendsTheSectionAndRecordsIt) {
  const std::string original = "127.0.0.1 localhost";  // no final line break
  WriteBytes(hosts, original);
  WriteBytes(block_list, "a.example\r\nb.example\r\nc.example\r\n");
  Activate();

  EXPECT_EQ(ReadBytes(hosts),
            original + testing::SectionOf({"a.example", "b.example", "c.example"}));
  EXPECT_EQ(ReadBytes(backup), original);
  EXPECT_EQ(Blocked(), "1");
  EXPECT_FALSE(window.command2_enabled);
  EXPECT_EQ(window.Caption(Label::Label3), kActivated);
}

TEST_F(ProtectionTest, AnEmptyBlockListStillWritesTheHeaderAndTheEmptyLine) {
  WriteBytes(hosts, "x\r\n");
  WriteBytes(block_list, "");
  Activate();
  EXPECT_EQ(ReadBytes(hosts), "x\r\n\r\n#email snoop protection \r\n\r\n");
}

TEST_F(ProtectionTest, AReadOnlyHostsFileIsMadeWritableAndStaysSo) {
  WriteBytes(hosts, "x\r\n");
  WriteBytes(block_list, "a.example");
  testing::MakeReadOnly(hosts);
  Activate();
  EXPECT_FALSE(testing::IsReadOnly(hosts));
  EXPECT_EQ(ReadBytes(hosts),
            "x\r\n\r\n#email snoop protection \r\n127.0.0.1     a.example\r\n\r\n");

  // The backup may have taken the read-only mark with it; activating again still works.
  Deactivate();
  Activate();
  EXPECT_EQ(ReadBytes(backup), "x\r\n");
}

TEST_F(ProtectionTest, AMissingBlockListFailsAfterTheBackupAndChangesNothingElse) {
  WriteBytes(hosts, "original\r\n");
  WriteBytes(backup, "stale backup");
  SetBlocked("0");
  try {
    Activate();
    FAIL() << "activation without a block list succeeded";
  } catch (const FileError& failure) {
    EXPECT_EQ(failure.path(), block_list);
    EXPECT_NE(std::string(failure.what()).find(block_list), std::string::npos);
  }
  EXPECT_EQ(ReadBytes(backup), "original\r\n");
  EXPECT_EQ(ReadBytes(hosts), "original\r\n");
  EXPECT_EQ(Blocked(), "0");
  EXPECT_TRUE(window.command2_enabled);
}

TEST_F(ProtectionTest, DeactivationRestoresTheHostsFileByteForByte) {
  const std::string original("# hosts \x80\xe9\xff\0 end", 16);  // no final line break
  WriteBytes(hosts, original);
  WriteBytes(block_list, "a.example\r\n");
  Activate();
  Deactivate();

  EXPECT_EQ(ReadBytes(hosts), original);
  EXPECT_EQ(Blocked(), "0");
  EXPECT_TRUE(window.command2_enabled);
  EXPECT_EQ(window.Caption(Label::Label3), kDeactivated);
  EXPECT_TRUE(testing::PathExists(backup)) << "the backup stays for the next time";
  EXPECT_TRUE(window.information_shown.empty());
}

TEST_F(ProtectionTest, DeactivationWithoutABackupOnlyTellsTheUser) {
  WriteBytes(hosts, "hosts");
  SetBlocked("1");
  window.command2_enabled = false;
  Deactivate();
  EXPECT_EQ(window.information_shown, std::vector<std::string>{std::string(kNoBackup)});
  EXPECT_EQ(ReadBytes(hosts), "hosts");
  EXPECT_EQ(Blocked(), "1");
  EXPECT_FALSE(window.command2_enabled);
  EXPECT_EQ(window.Caption(Label::Label3), kLabel3Created);
}

TEST_F(ProtectionTest, DeactivationWithoutAHostsFileFailsAndChangesNothing) {
  WriteBytes(backup, "backup");
  SetBlocked("1");
  hosts.clear();  // start-up found no hosts file
  try {
    Deactivate();
    FAIL() << "a restore without a hosts file succeeded";
  } catch (const FileError& failure) {
    const std::string text = failure.what();
    EXPECT_NE(text.find("no hosts file was found"), std::string::npos) << text;
    EXPECT_NE(text.find(windows.Join("hosts")), std::string::npos) << "says where it looked";
  }
  EXPECT_EQ(ReadBytes(backup), "backup");
  EXPECT_EQ(Blocked(), "1");
}

TEST_F(ProtectionTest, ASecondActivationKeepsTheBackupOfTheOriginal) {
  WriteBytes(hosts, "original\r\n");
  WriteBytes(block_list, "a.example\r\n");
  Activate();
  SetBlocked("0");  // the write of "1" did not stick, so the next start offers Activate again
  Activate();
  EXPECT_EQ(ReadBytes(backup), "original\r\n");
  Deactivate();
  EXPECT_EQ(ReadBytes(hosts), "original\r\n");
}

// What a killed run leaves behind goes with the next operation; nothing else does.
TEST_F(ProtectionTest, TemporaryCopiesLeftBehindAreRemovedAndNothingElse) {
  WriteBytes(hosts, "original\r\n");
  WriteBytes(block_list, "a.example\r\n");
  WriteBytes(backup, "earlier backup\r\n");  // a copy of a missing file may be its only one
  // The history's and the record's too, whether or not the file they were to become exists.
  WriteBytes(app.Join("host.bak.000001"), "older backup\r\n");
  const std::vector<std::string> leftovers = {
      TemporaryStem(hosts) + "a1B2c3d4E5f6g7H8", TemporaryStem(backup) + "zzzzzzzzzzzzzzzz",
      TemporaryStem(app.Join("host.bak.000001")) + "0000000000000000",
      TemporaryStem(app.Join("host.bak.000002")) + "Zz09Zz09Zz09Zz09",
      TemporaryStem(app.Join("host.sec")) + "q1w2e3r4t5y6u7i8"};
  const std::vector<std::string> others = {
      TemporaryStem(hosts) + "a1B2c3d4E5f6g7H89",
      TemporaryStem(hosts) + "a1B2c3d4E5f6g7H",
      hosts + ".allow",
      hosts + ".tsl-backup",
      hosts + ".tsl-a1B2c3",
      TemporaryStem(backup) + "ab.defghijklmnop",
      TemporaryStem(app.Join("host.bak.01")) + "a1B2c3d4E5f6g7H8",
      TemporaryStem(block_list) + "a1B2c3d4E5f6g7H8",
      TemporaryStem(app.Join("host.secret")) + "a1B2c3d4E5f6g7H8"};
  for (const std::string& path : leftovers) testing::WriteLeftover(path, "part");
  for (const std::string& path : others) testing::WriteLeftover(path, "keep");
  Activate();
  for (const std::string& path : leftovers) EXPECT_FALSE(testing::PathExists(path)) << path;
  for (const std::string& path : others) EXPECT_EQ(ReadBytes(path), "keep") << path;
}

// The state that was not recorded is a failed step, reported as such; the hosts file work
// done before it stays done and can still be undone.
TEST_F(ProtectionTest, AStateThatIsNotRecordedIsAFailureNotASuccess) {
  WriteBytes(hosts, "original\r\n");
  WriteBytes(block_list, "a.example\r\n");
  testing::RefusingRegistry refusing(registry);
  const Machine refused = testing::TestMachine(files, refusing, app.path());
  EXPECT_THROW(ActivateProtection(refused, hosts, window), SettingsError);
  EXPECT_NE(window.Caption(Label::Label3), kActivated);
  EXPECT_EQ(ReadBytes(backup), "original\r\n");

  EXPECT_THROW(DeactivateProtection(refused, hosts, window), SettingsError);
  EXPECT_NE(window.Caption(Label::Label3), kDeactivated);
  EXPECT_EQ(ReadBytes(hosts), "original\r\n");
}

// Remembers, for each flush, what the hosts file and "Blocked" held at that moment.
class RecordingNameCache final : public NameCache {
 public:
  RecordingNameCache(const std::string& hosts_file, const RegistryHive& registry)
      : hosts_file_(hosts_file), registry_(registry) {}
  void Flush() override {
    flushes.push_back({ReadBytes(hosts_file_), RegistryGetString(registry_, kHkeyLocalMachine,
                                                                 kSettingsKey, kBlockedValue, "")});
  }

  struct Seen {
    std::string hosts;
    std::string blocked;
  };
  std::vector<Seen> flushes;

 private:
  const std::string& hosts_file_;
  const RegistryHive& registry_;
};

// The name cache is flushed once each operation has changed the hosts file and recorded
// the state, and only then.
TEST_F(ProtectionTest, TheNameCacheIsFlushedAfterEachSuccessAndOnlyThen) {
  WriteBytes(hosts, "original\r\n");
  WriteBytes(block_list, "a.example\r\n");
  RecordingNameCache name_cache(hosts, registry);
  const Machine recorded = testing::TestMachine(files, registry, app.path(), name_cache);
  DeactivateProtection(recorded, hosts, window);  // no backup yet
  EXPECT_TRUE(name_cache.flushes.empty());

  ActivateProtection(recorded, hosts, window);
  ASSERT_EQ(name_cache.flushes.size(), 1U);
  EXPECT_EQ(name_cache.flushes[0].hosts, ReadBytes(hosts));
  EXPECT_NE(name_cache.flushes[0].hosts.find("127.0.0.1     a.example"), std::string::npos);
  EXPECT_EQ(name_cache.flushes[0].blocked, "1");

  DeactivateProtection(recorded, hosts, window);
  ASSERT_EQ(name_cache.flushes.size(), 2U);
  EXPECT_EQ(name_cache.flushes[1].hosts, "original\r\n");
  EXPECT_EQ(name_cache.flushes[1].blocked, "0");

  std::remove(block_list.c_str());
  EXPECT_THROW(ActivateProtection(recorded, hosts, window), FileError);
  testing::RefusingRegistry refusing(registry);
  WriteBytes(block_list, "a.example\r\n");
  EXPECT_THROW(ActivateProtection(testing::TestMachine(files, refusing, app.path(), name_cache),
                                  hosts, window),
               SettingsError);
  EXPECT_EQ(name_cache.flushes.size(), 2U) << "no flush after a failure";
}

}  // namespace
}  // namespace tsl

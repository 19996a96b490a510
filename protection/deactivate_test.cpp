// Deactivation takes back the block section and nothing else of a hosts file that others
// went on editing while protection was on.
#include <gtest/gtest.h>

#include "protection/protection_fixture.h"

namespace tsl {
namespace {

using testing::ReadBytes;
using testing::WriteBytes;

constexpr std::string_view kDeactivated =
    "Protection turned-off successfuly. Your machine is now vulnerable to email bugs.";

class DeactivateTest : public testing::ProtectionFixture {
 protected:
  const std::string kOriginal = "127.0.0.1 localhost\r\n# the user's own lines\r\n";
  const std::string kSection =
      "\r\n#email snoop protection \r\n127.0.0.1     a.example\r\n127.0.0.1     b.example\r\n"
      "\r\n";

  void ActivateOver(const std::string& original) {
    WriteBytes(hosts_, original);
    WriteBytes(block_list_, "a.example\r\nb.example\r\n");
    Activate();
    ASSERT_EQ(ReadBytes(hosts_), original + kSection);
  }
  void ExpectTurnedOff() {
    EXPECT_EQ(Blocked(), "0");
    EXPECT_TRUE(window_.command2_enabled);
    EXPECT_EQ(window_.Caption(Label::Label3), kDeactivated);
    EXPECT_TRUE(window_.information_shown.empty());
    EXPECT_EQ(ReadBytes(backup_), kOriginal) << "the backup stays";
  }
};

TEST_F(DeactivateTest, OnlyTheSectionComesOutOfAFileOthersChanged) {
  const struct {
    const char* what;
    std::string changed;  // the hosts file after activation and another tool's change
    std::string restored;
  } cases[] = {
      {"a line appended after the section", kOriginal + kSection + "10.0.0.6 printer\r\n",
       kOriginal + "10.0.0.6 printer\r\n"},
      {"a line edited above it", "127.0.0.1 localhost\r\n# edited\r\n" + kSection,
       "127.0.0.1 localhost\r\n# edited\r\n"},
      {"CR LF turned into LF",
       "127.0.0.1 localhost\n# the user's own lines\n\n#email snoop protection \n"
       "127.0.0.1     a.example\n127.0.0.1     b.example\n\n",
       "127.0.0.1 localhost\n# the user's own lines\n"},
      {"entries removed from the section",
       kOriginal + "\r\n#email snoop protection \r\n127.0.0.1     b.example\r\n\r\nx y\r\n",
       kOriginal + "x y\r\n"},
      {"two sections with a line between", kOriginal + kSection + "x y\r\n" + kSection,
       kOriginal + "x y\r\n"},
      {"the backup, then two sections", kOriginal + kSection + kSection, kOriginal},
  };
  for (const auto& change : cases) {
    SCOPED_TRACE(change.what);
    ActivateOver(kOriginal);
    WriteBytes(hosts_, change.changed);
    Deactivate();
    EXPECT_EQ(ReadBytes(hosts_), change.restored);
    ExpectTurnedOff();
  }
}

// A file with no section holds nothing of Tessaline's: another program put it there, or
// protection was already taken back.
TEST_F(DeactivateTest, AFileWithoutASectionIsLeftAsItIs) {
  ActivateOver(kOriginal);
  const std::string reset = "# reset by another program\r\n127.0.0.1 localhost\r\n";
  WriteBytes(hosts_, reset);
  Deactivate();
  EXPECT_EQ(ReadBytes(hosts_), reset);
  ExpectTurnedOff();
}

TEST_F(DeactivateTest, ASecondDeactivationKeepsWhatWasWrittenSinceTheFirst) {
  ActivateOver(kOriginal);
  Deactivate();
  ASSERT_EQ(ReadBytes(hosts_), kOriginal);
  WriteBytes(hosts_, kOriginal + "10.0.0.6 printer\r\n");
  Deactivate();
  EXPECT_EQ(ReadBytes(hosts_), kOriginal + "10.0.0.6 printer\r\n");
  ExpectTurnedOff();
}

}  // namespace
}  // namespace tsl

// Deactivation takes back the block section and nothing else of a hosts file that others
// went on editing while protection was on.
#include <gtest/gtest.h>

#include <algorithm>

#include "protection/window_texts.h"
#include "testsupport/test_machine.h"
#include "text/hosts_sections.h"

namespace tsl {
namespace {

using testing::ReadBytes;
using testing::WriteBytes;

class DeactivateTest : public testing::ProtectionFixture {
 protected:
  const std::string kOriginal = "127.0.0.1 localhost\r\n# the user's own lines\r\n";
  const std::string kSection = testing::SectionOf({"a.example", "b.example", "c.example"});

  void ActivateOver(const std::string& original) {
    WriteBytes(hosts, original);
    WriteBytes(block_list, "a.example\r\nb.example\r\nc.example\r\n");
    Activate();
    ASSERT_EQ(ReadBytes(hosts), original + kSection);
  }
  void ExpectTurnedOff() {
    EXPECT_EQ(Blocked(), "0");
    EXPECT_TRUE(window.command2_enabled);
    EXPECT_EQ(window.Caption(Label::Label3), kDeactivated);
    EXPECT_TRUE(window.information_shown.empty());
    EXPECT_EQ(ReadBytes(backup), kOriginal) << "the backup stays";
  }
};

// Whatever others did to the section, every entry activation wrote goes and every line
// they wrote stays in its place; activating again gives one section, never a tail.
TEST_F(DeactivateTest, AllOfOursAndNothingElseComesOutOfAFileOthersChanged) {
  const auto replaced = [this](std::string_view from, std::string_view to) {
    std::string text = kOriginal + kSection;
    text.replace(text.find(from), from.size(), to);
    return text;
  };
  const auto without_breaks = [](std::string text, char dropped) {
    text.erase(std::remove(text.begin(), text.end(), dropped), text.end());
    return text;
  };
  const struct {
    const char* what;
    std::string changed;  // the hosts file after activation and another tool's change
    std::string restored;
  } cases[] = {
      {"a line appended after the section", kOriginal + kSection + "10.0.0.6 printer\r\n",
       kOriginal + "10.0.0.6 printer\r\n"},
      {"a line edited above it", "127.0.0.1 localhost\r\n# edited\r\n" + kSection,
       "127.0.0.1 localhost\r\n# edited\r\n"},
      {"CR LF turned into LF", without_breaks(kOriginal + kSection, '\r'),
       without_breaks(kOriginal, '\r')},
      {"CR LF turned into CR", without_breaks(kOriginal + kSection, '\n'),
       without_breaks(kOriginal, '\n')},
      {"entries removed from the section",
       kOriginal + "\r\n#email snoop protection \r\n127.0.0.1     b.example\r\n\r\nx y\r\n",
       kOriginal + "x y\r\n"},
      {"two sections with a line between", kOriginal + kSection + "x y\r\n" + kSection,
       kOriginal + "x y\r\n"},
      {"the backup, then two sections", kOriginal + kSection + kSection, kOriginal},
      {"an entry commented out", replaced("127.0.0.1     a", "#127.0.0.1     a"), kOriginal},
      {"an entry's address changed", replaced("127.0.0.1     a.", "0.0.0.0 a."), kOriginal},
      {"an empty line among the entries", replaced("a.example\r\n", "a.example\r\n\r\n"),
       kOriginal + "\r\n"},
      {"a comment among the entries", replaced("a.example\r\n", "a.example\r\n# mine\r\n"),
       kOriginal + "# mine\r\n"},
      {"the header's blank trimmed", replaced("protection \r", "protection\r"), kOriginal},
      {"a tab added to the header", replaced("protection \r", "protection \t\r"), kOriginal},
      {"separators rewritten to a tab", replaced("1     b", "1\tb"), kOriginal},
      {"separators rewritten to one blank", replaced("1     c", "1 c"), kOriginal},
      {"a line typed on the empty line above the header", replaced("\r\n#email", "typed\r\n#email"),
       kOriginal + "typed\r\n"},
      {"a user's own entry among ours",
       replaced("a.example\r\n", "a.example\r\n127.0.0.1     devbox\r\n"),
       kOriginal + "127.0.0.1     devbox\r\n"},
      {"the ending empty line removed and an entry written after",
       kOriginal + kSection.substr(0, kSection.size() - 2) + "127.0.0.1     devbox\r\n",
       kOriginal + "127.0.0.1     devbox\r\n"},
  };
  for (const auto& change : cases) {
    SCOPED_TRACE(change.what);
    ActivateOver(kOriginal);
    WriteBytes(hosts, change.changed);
    Activate();  // a refresh, or a second activation: one section in the place of the first
    const std::string reactivated = ReadBytes(hosts);
    EXPECT_EQ(reactivated.find("c.example"), reactivated.rfind("c.example")) << reactivated;
    EXPECT_EQ(
        TakeOutOurLines(reactivated, {"a.example\r\nb.example\r\nc.example\r\n", true, false}).text,
        change.restored);
    WriteBytes(hosts, change.changed);
    Deactivate();
    EXPECT_EQ(ReadBytes(hosts), change.restored);
    ExpectTurnedOff();
  }
}

// A file with no section holds nothing of Tessaline's: another program put it there, or
// protection was already taken back.
TEST_F(DeactivateTest, AFileWithoutASectionIsLeftAsItIs) {
  ActivateOver(kOriginal);
  const std::string reset = "# reset by another program\r\n127.0.0.1 localhost\r\n";
  WriteBytes(hosts, reset);
  Deactivate();
  EXPECT_EQ(ReadBytes(hosts), reset);
  ExpectTurnedOff();
}

TEST_F(DeactivateTest, ASecondDeactivationKeepsWhatWasWrittenSinceTheFirst) {
  ActivateOver(kOriginal);
  Deactivate();
  ASSERT_EQ(ReadBytes(hosts), kOriginal);
  WriteBytes(hosts, kOriginal + "10.0.0.6 printer\r\n");
  Deactivate();
  EXPECT_EQ(ReadBytes(hosts), kOriginal + "10.0.0.6 printer\r\n");
  ExpectTurnedOff();
}

}  // namespace
}  // namespace tsl

#include "protection/hosts_sections.h"

#include <gtest/gtest.h>

#include <string>

namespace tsl {
namespace {

std::string Section() {
  return "\r\n#email snoop protection \r\n127.0.0.1     a.example\r\n127.0.0.1     b.example\r\n"
         "\r\n";
}

std::string Without(std::string_view hosts) { return TakeOutBlockSections(hosts).text; }

std::string ToLf(std::string text) {
  for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) {
    text.erase(at, 1);
  }
  return text;
}

TEST(HostsSectionsTest, TheSectionComesOutAndTheFileComesBackByteForByte) {
  for (const std::string original :
       {"", "127.0.0.1 localhost\r\n", "127.0.0.1 localhost", "a\r\n\r\n", "a\n", "a\r", "\r\n"}) {
    SCOPED_TRACE(original);
    EXPECT_EQ(Without(original + Section()), original);
    EXPECT_EQ(FindBlockSections(original + Section()).size(), 1U);
    EXPECT_FALSE(HoldsBlockSection(original));
  }
}

TEST(HostsSectionsTest, LinesOthersWroteAroundTheSectionStay) {
  EXPECT_EQ(Without("a\r\n" + Section() + "10.0.0.6 printer\r\n"), "a\r\n10.0.0.6 printer\r\n");
  EXPECT_EQ(Without("edited\r\n" + Section()), "edited\r\n");
  // The hosts file had no final line break: the opening CR LF now ends its last line, and
  // stays when a line follows the section, so that the two lines are not joined.
  EXPECT_EQ(Without("a" + Section() + "b\r\n"), "a\r\nb\r\n");
  EXPECT_EQ(Without("a\r\n" + Section() + "\r\n"), "a\r\n\r\n") << "only the one empty line goes";
}

TEST(HostsSectionsTest, ASectionOthersChangedIsStillFound) {
  // CR LF turned into LF.
  EXPECT_EQ(Without(ToLf("a\r\n" + Section() + "b\r\n")), "a\nb\n");
  // Entries removed, and all of them.
  EXPECT_EQ(Without("a\r\n\r\n#email snoop protection \r\n127.0.0.1     b.example\r\n\r\nb"),
            "a\r\nb");
  EXPECT_EQ(Without("a\r\n\r\n#email snoop protection \r\n\r\nb"), "a\r\nb");
  // The end of the file cut: the ending empty line, then the last line break too.
  EXPECT_EQ(Without("a\r\n" + Section().substr(0, Section().size() - 2)), "a\r\n");
  EXPECT_EQ(Without("a" + Section().substr(0, Section().size() - 4)), "a");
  EXPECT_EQ(Without("a\r\n\r\n#email snoop protection "), "a\r\n");
  // The ending empty line removed and a line written after the section.
  EXPECT_EQ(Without("a\r\n\r\n#email snoop protection \r\n127.0.0.1     x\r\nb\r\n"), "a\r\nb\r\n");
  // Leading empty lines trimmed, so that the header is the first line.
  EXPECT_EQ(Without("#email snoop protection \r\n127.0.0.1     x\r\n\r\nb\r\n"), "b\r\n");
}

TEST(HostsSectionsTest, TwoSectionsBothComeOut) {
  EXPECT_EQ(FindBlockSections("a\r\n" + Section() + Section()).size(), 1U) << "touching: one";
  EXPECT_EQ(Without("a\r\n" + Section() + Section()), "a\r\n");
  const std::string apart = "a\r\n" + Section() + "b\r\n" + Section() + "c\r\n";
  EXPECT_EQ(FindBlockSections(apart).size(), 2U);
  const WithoutSections without = TakeOutBlockSections(apart);
  EXPECT_EQ(without.text, "a\r\nb\r\nc\r\n");
  EXPECT_EQ(without.first_section_at, 3U);
}

TEST(HostsSectionsTest, AChangedHeaderOrAnOtherLineIsNotASection) {
  for (const std::string hosts :
       {"a\r\n\r\n#email snoop protection\r\n127.0.0.1     x\r\n\r\n",
        "a\r\n\r\n#email snoop protection  \r\n\r\n", "a\r\n\r\n #email snoop protection \r\n\r\n",
        "a\r\n\r\n#Email snoop protection \r\n\r\n", "a #email snoop protection \r\n\r\n",
        "127.0.0.1     a.example\r\n\r\n"}) {
    EXPECT_FALSE(HoldsBlockSection(hosts)) << hosts;
    EXPECT_EQ(Without(hosts), hosts);
    EXPECT_EQ(TakeOutBlockSections(hosts).first_section_at, hosts.size());
  }
}

// A line in the entries' own form cannot be told from Tessaline's and goes with the
// section; a line of any other form ends the section there, and what follows stays.
TEST(HostsSectionsTest, TheSectionEndsAtTheFirstLineNotInItsForm) {
  EXPECT_EQ(Without("a\r\n\r\n#email snoop protection \r\n127.0.0.1     mine\r\n"
                    "127.0.0.1     a.example\r\n\r\n"),
            "a\r\n");
  EXPECT_EQ(Without("a\r\n\r\n#email snoop protection \r\n127.0.0.1 mine\r\n"
                    "127.0.0.1     a.example\r\n\r\n"),
            "a\r\n127.0.0.1 mine\r\n127.0.0.1     a.example\r\n\r\n");
}

}  // namespace
}  // namespace tsl

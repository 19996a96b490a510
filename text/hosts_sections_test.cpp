#include "text/hosts_sections.h"

#include <gtest/gtest.h>

#include <string>

namespace tsl {
namespace {

constexpr std::string_view kList = "a.example\r\nb.example\r\n";

std::string Section() {
  return "\r\n#email snoop protection \r\n127.0.0.1     a.example\r\n127.0.0.1     b.example\r\n"
         "\r\n";
}

std::string Without(std::string_view hosts, std::string_view list = kList, bool exact = true) {
  return TakeOutOurLines(hosts, {list, exact, true}).text;
}

bool InForce(std::string_view hosts, std::string_view list = kList) {
  return TakeOutOurLines(hosts, {list, true, true}).in_force;
}

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
    EXPECT_TRUE(InForce(original + Section()));
    EXPECT_FALSE(TakeOutOurLines(original, {kList}).held_a_section);
  }
}

TEST(HostsSectionsTest, LinesOthersWroteAroundTheSectionStay) {
  EXPECT_EQ(Without("a\r\n" + Section() + "10.0.0.6 printer\r\n"), "a\r\n10.0.0.6 printer\r\n");
  EXPECT_EQ(Without("edited\r\n" + Section()), "edited\r\n");
  // The hosts file had no final line break: the opening CR LF now ends its last line, and
  // stays when a line follows the section, so that the two lines are not joined.
  EXPECT_EQ(Without("a" + Section() + "b\r\n"), "a\r\nb\r\n");
  EXPECT_EQ(Without("a\r\n" + Section() + "\r\n"), "a\r\n\r\n") << "only the one empty line goes";
  // A line typed on the empty line that opened the section keeps its line break.
  EXPECT_EQ(TakeOutOurLines("a\r\nb" + Section(), {kList, true, false}).text, "a\r\nb\r\n");
}

TEST(HostsSectionsTest, ASectionOthersChangedIsStillFound) {
  // CR LF turned into LF, or into CR.
  EXPECT_EQ(Without(ToLf("a\r\n" + Section() + "b\r\n")), "a\nb\n");
  std::string cr = "a\r\n" + Section() + "b\r\n";
  for (size_t at = cr.find('\n'); at != std::string::npos; at = cr.find('\n')) cr.erase(at, 1);
  EXPECT_EQ(Without(cr), "a\rb\r");
  // Entries removed, and all of them.
  EXPECT_EQ(Without("a\r\n\r\n#email snoop protection \r\n127.0.0.1     b.example\r\n\r\nb"),
            "a\r\nb");
  EXPECT_EQ(Without("a\r\n\r\n#email snoop protection \r\n\r\nb"), "a\r\nb");
  // The end of the file cut: the ending empty line, then the last line break too.
  EXPECT_EQ(Without("a\r\n" + Section().substr(0, Section().size() - 2)), "a\r\n");
  EXPECT_EQ(Without("a" + Section().substr(0, Section().size() - 4)), "a");
  EXPECT_EQ(Without("a\r\n\r\n#email snoop protection "), "a\r\n");
  // Leading empty lines trimmed, so that the header is the first line.
  EXPECT_EQ(Without("#email snoop protection \r\n127.0.0.1     a.example\r\n\r\nb\r\n"), "b\r\n");
  // The header's blanks trimmed or added.
  for (const char* header :
       {"#email snoop protection", "#email snoop protection \t", " #email  snoop\tprotection "}) {
    EXPECT_EQ(Without("a\r\n\r\n" + std::string(header) + "\r\n127.0.0.1     a.example\r\n\r\n"),
              "a\r\n")
        << header;
  }
}

TEST(HostsSectionsTest, EveryEntryOfOursGoesWhateverWasDoneToIt) {
  const std::string kept = "a\r\n";
  for (const char* entry :
       {"127.0.0.1     b.example", "#127.0.0.1     b.example", "# 127.0.0.1 b.example",
        "0.0.0.0 b.example", "127.0.0.1\tb.example", "127.0.0.1 b.example", "  ::1 b.example  "}) {
    SCOPED_TRACE(entry);
    EXPECT_EQ(Without(kept + "\r\n#email snoop protection \r\n127.0.0.1     a.example\r\n" + entry +
                      "\r\n\r\n"),
              kept);
  }
  // Lines others put among the entries stay, and the entries after them still go.
  EXPECT_EQ(Without("a\r\n\r\n#email snoop protection \r\n127.0.0.1     a.example\r\n\r\n"
                    "# mine\r\n127.0.0.1     devbox\r\n127.0.0.1     b.example\r\n\r\n"),
            "a\r\n\r\n# mine\r\n127.0.0.1     devbox\r\n");
  // The ending empty line removed and a line written after the section.
  EXPECT_EQ(Without("a\r\n\r\n#email snoop protection \r\n127.0.0.1     a.example\r\n"
                    "127.0.0.1     devbox\r\n"),
            "a\r\n127.0.0.1     devbox\r\n");
  // A second line for one of our names is someone else's.
  EXPECT_EQ(Without("a\r\n" + Section() + "127.0.0.1 a.example\r\n"),
            "a\r\n127.0.0.1 a.example\r\n");
}

TEST(HostsSectionsTest, WithoutItsRecordTheRunOfEntriesAfterTheHeaderIsOurs) {
  const std::string section =
      "a\r\n\r\n#email snoop protection \r\n127.0.0.1     old.example\r\n"
      "127.0.0.1     a.example\r\n\r\nb\r\n";
  EXPECT_EQ(Without(section, kList, false), "a\r\nb\r\n");
  EXPECT_EQ(Without(section, kList, true), "a\r\n127.0.0.1     old.example\r\nb\r\n");
}

TEST(HostsSectionsTest, TwoSectionsBothComeOut) {
  EXPECT_EQ(Without("a\r\n" + Section() + Section()), "a\r\n");
  const std::string apart = "a\r\n" + Section() + "b\r\n" + Section() + "c\r\n";
  const WithoutSections without = TakeOutOurLines(apart, {kList});
  EXPECT_EQ(without.text, "a\r\nb\r\nc\r\n");
  EXPECT_EQ(without.first_section_at, 3U);
}

TEST(HostsSectionsTest, AChangedHeaderOrAnOtherLineIsNotASection) {
  for (const std::string hosts :
       {"a\r\n\r\n#Email snoop protection \r\n127.0.0.1     a.example\r\n\r\n",
        "a\r\n\r\n#email snoop protections\r\n\r\n", "a #email snoop protection \r\n\r\n",
        "127.0.0.1     a.example\r\n\r\n"}) {
    const WithoutSections without = TakeOutOurLines(hosts, {kList});
    EXPECT_FALSE(without.held_a_section) << hosts;
    EXPECT_EQ(without.text, hosts);
    EXPECT_EQ(without.first_section_at, hosts.size());
  }
}

TEST(HostsSectionsTest, ASectionBlocksWhileAnEntryOfOursIsActive) {
  EXPECT_FALSE(InForce("a\r\n\r\n#email snoop protection \r\n\r\n")) << "a cleaner took them out";
  EXPECT_FALSE(InForce("\r\n#email snoop protection \r\n#127.0.0.1     a.example\r\n\r\n"));
  EXPECT_TRUE(InForce("\r\n#email snoop protection \r\n0.0.0.0 b.example\r\n\r\n"));
  EXPECT_TRUE(InForce("\r\n#email snoop protection \r\n\r\n", "")) << "made from an empty list";
  EXPECT_FALSE(InForce("\r\n#email snoop protection \r\n127.0.0.1 devbox\r\n\r\n"));
}

}  // namespace
}  // namespace tsl

#include "text/block_section.h"

#include <gtest/gtest.h>

#include <vector>

namespace tsl {
namespace {

std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  ForEachBlockListLine(text, [&lines](std::string_view line) { lines.emplace_back(line); });
  return lines;
}

TEST(BlockListLinesTest, CrLfCrOrLfEndsALine) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Lines(""), V{});
  EXPECT_EQ(Lines("a.com\r\nb.com\r\n"), (V{"a.com", "b.com"}));
  EXPECT_EQ(Lines("a.com\rb.com\r"), (V{"a.com", "b.com"}));
  EXPECT_EQ(Lines("a.com\r\nb.com"), (V{"a.com", "b.com"})) << "a last line without a break";
  EXPECT_EQ(Lines("a.com\nb.com\n"), (V{"a.com", "b.com"})) << "saved by a Unix editor";
  EXPECT_EQ(Lines("a.com\r\n\r\n b.com \r\n"), (V{"a.com", "", " b.com "}));
  EXPECT_EQ(Lines("\r\n"), (V{""}));
  EXPECT_EQ(Lines("a\r\r\n"), (V{"a", ""}));
  EXPECT_EQ(Lines("a\n\r\n"), (V{"a", ""}));
  EXPECT_EQ(Lines("a\rb\nc\r\nd"), (V{"a", "b", "c", "d"}));
  EXPECT_EQ(Lines(std::string_view("a\0b\r\n", 5)), (V{std::string("a\0b", 3)}));
  EXPECT_EQ(CountBlockListLines("a\r\n\r\nb"), 3U);
}

TEST(BlockEntriesTest, OneEntryPerLineThenAnEmptyLine) {
  EXPECT_EQ(BlockEntries("a.com\r\nb.com\r\nc.com\r\n"),
            "127.0.0.1     a.com\r\n127.0.0.1     b.com\r\n127.0.0.1     c.com\r\n\r\n");
  EXPECT_EQ(BlockEntries(""), "\r\n");
  EXPECT_EQ(BlockEntries("\r\n"), "127.0.0.1     \r\n\r\n");
  EXPECT_EQ(BlockEntries("a.com\nb.com"), "127.0.0.1     a.com\r\n127.0.0.1     b.com\r\n\r\n");
}

}  // namespace
}  // namespace tsl

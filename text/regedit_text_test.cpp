#include "text/regedit_text.h"

#include <gtest/gtest.h>

namespace tsl {
namespace {

constexpr std::string_view kTsl = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Orrindale\\TSL";

RegistryValue Sz(std::string_view text) { return {kRegSz, std::string(text) + '\0'}; }

// The shape regedit exports, with every value form in it.
constexpr std::string_view kExported =
    "REGEDIT4\r\n"
    "\r\n"
    "; exported by hand\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orrindale\\TSL]\r\n"
    "\"Blocked\"=\"1\"\r\n"
    "\"Servers\"=\"C:\\\\dir \\\"42\\\"\"\r\n"
    "\"Count\"=dword:0000002a\r\n"
    "\"Path\"=hex(2):25,00,41\r\n"
    "\"Raw\"=hex(1):34,32\r\n"
    "\"Blob\"=hex:01,02,\\\r\n"
    "  03,04\r\n"
    "@=\"default\"\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n"
    "\"Blocked\"=\"other\"\r\n";

TEST(RegeditTextTest, ReadsEveryValueForm) {
  const RegeditText text{std::string(kExported)};
  EXPECT_EQ(text.Find(kTsl, "Blocked"), Sz("1"));
  EXPECT_EQ(text.Find(kTsl, "Servers"), Sz("C:\\dir \"42\""));
  EXPECT_EQ(text.Find(kTsl, "Count"), (RegistryValue{kRegDword, std::string("\x2a\0\0\0", 4)}));
  EXPECT_EQ(text.Find(kTsl, "Path"), (RegistryValue{kRegExpandSz, std::string("%\0A", 3)}));
  EXPECT_EQ(text.Find(kTsl, "Raw"), (RegistryValue{kRegSz, "42"}));
  EXPECT_EQ(text.Find(kTsl, "Blob"), (RegistryValue{kRegBinary, "\x01\x02\x03\x04"}));
  EXPECT_EQ(text.Find(kTsl, ""), Sz("default"));
  EXPECT_EQ(text.Find("hkey_local_machine\\software\\ORRINDALE\\tsl", "bLoCkEd"), Sz("1"));
  EXPECT_EQ(text.Find(kTsl, "Missing"), std::nullopt);
  EXPECT_EQ(text.Find("HKEY_LOCAL_MACHINE\\SOFTWARE\\Orrindale", "Blocked"), std::nullopt);
}

TEST(RegeditTextTest, LaterLinesOverrideAndDeletionsRemove) {
  const std::string lf =
      "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orrindale\\TSL]\n\"A\"=\"1\"\n\"B\"=\"1\"\n"
      "\"C\"=\"1\"\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orrindale\\TSL]\n\"A\"=\"2\"\n\"B\"=-\n";
  EXPECT_EQ(RegeditText(lf).Find(kTsl, "A"), Sz("2"));
  EXPECT_EQ(RegeditText(lf).Find(kTsl, "B"), std::nullopt);
  EXPECT_EQ(RegeditText(lf + "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Orrindale]\n").Find(kTsl, "C"),
            std::nullopt);
}

TEST(RegeditTextTest, BadLinesAreSkippedAndSurviveAWrite) {
  using namespace std::string_literals;
  const std::string damaged =
      "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orrindale\\TSL]\r\n"
      "\"Blocked\"=\"1\r\n"       // unterminated string
      "\"Servers\"=dword:zz\r\n"  // not hex
      "\"X\"=hex(2):4\r\n"        // half a byte
      "garbage \xff\xfe\0 bytes\r\n"
      "\"Y\"=hex:01,\\\r\n"s;  // a continuation cut off by the file's end
  RegeditText edited(damaged);
  EXPECT_EQ(edited.Find(kTsl, "Blocked"), std::nullopt);
  EXPECT_EQ(edited.Find(kTsl, "Servers"), std::nullopt);
  EXPECT_EQ(edited.Find(kTsl, "X"), std::nullopt);

  ASSERT_TRUE(edited.Set(kTsl, "Blocked", Sz("0")));
  ASSERT_TRUE(edited.Set(kTsl, "Added", Sz("a")));
  EXPECT_EQ(edited.Find(kTsl, "Blocked"), Sz("0"));
  EXPECT_EQ(edited.Find(kTsl, "Added"), Sz("a"));
  std::string expected = damaged;
  expected.replace(expected.find("\"Blocked\"=\"1"), 12, "\"Blocked\"=\"0\"");
  EXPECT_EQ(edited.text().substr(0, expected.size()), expected)
      << "the broken line of the value written is replaced; every other line stays";
}

TEST(RegeditTextTest, SetChangesOnlyItsOwnLine) {
  RegeditText edited{std::string(kExported)};
  ASSERT_TRUE(edited.Set(kTsl, "blocked", Sz("0")));
  std::string expected(kExported);
  expected.replace(expected.find("\"Blocked\"=\"1\""), 13, "\"blocked\"=\"0\"");
  EXPECT_EQ(edited.text(), expected);

  ASSERT_TRUE(edited.Set(kTsl, "New", Sz("n")));
  expected.insert(expected.find("\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]"), "\"New\"=\"n\"\r\n");
  EXPECT_EQ(edited.text(), expected);

  ASSERT_TRUE(edited.Set("HKEY_LOCAL_MACHINE\\SOFTWARE\\Third", "V", Sz("3")));
  expected += "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Third]\r\n\"V\"=\"3\"\r\n";
  EXPECT_EQ(edited.text(), expected);
}

TEST(RegeditTextTest, AnyValueSurvivesAWriteAndARead) {
  std::string large(1 << 20, '\0');
  for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>(i * 7);
  const RegistryValue values[] = {
      Sz("with \"quotes\" and \\ back\\slashes"),
      Sz("line\r\nbreaks"),
      {kRegSz, std::string("no terminator \x80\xff", 16)},
      {kRegSz, std::string("embedded\0nul\0", 13)},
      {kRegDword, std::string("\xff\0\0\x80", 4)},
      {0x0b, std::string(8, '\x11')},
      {kRegBinary, ""},
      {kRegBinary, large},
  };
  RegeditText edited("");
  for (const RegistryValue& value : values) {
    ASSERT_TRUE(edited.Set(kTsl, "Value", value));
    EXPECT_EQ(RegeditText(edited.text()).Find(kTsl, "Value"), value);
  }
  EXPECT_EQ(edited.text().rfind("REGEDIT4\r\n", 0), 0U);
  EXPECT_FALSE(edited.Set(kTsl, "two\nlines", Sz("x")));
  EXPECT_FALSE(edited.Set("HKEY_LOCAL_MACHINE\\[x]", "v", Sz("x")));
}

}  // namespace
}  // namespace tsl

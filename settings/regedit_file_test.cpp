#include "settings/regedit_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "settings/registry_file.h"
#include "testsupport/test_support.h"

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

TEST(RegistryFileTest, WritesCreateTheFolderAndReplaceTheFileWhole) {
  const testing::TempDir folder;
  const std::string path = folder.Join("var/lib/tessaline/registry.reg");
  RegistryFile file(path);
  EXPECT_EQ(file.Read(kHkeyLocalMachine, "SOFTWARE\\Orrindale\\TSL", "Blocked"), std::nullopt);

  file.Write(kHkeyLocalMachine, "SOFTWARE\\Orrindale\\TSL", "Blocked", Sz("1"));
  EXPECT_EQ(
      testing::ReadBytes(path),
      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orrindale\\TSL]\r\n\"Blocked\"=\"1\"\r\n");

  ::chmod(path.c_str(), 0600);
  file.Write(kHkeyLocalMachine, "SOFTWARE\\Orrindale\\TSL", "Blocked", Sz("0"));
  EXPECT_EQ(file.Read(kHkeyLocalMachine, "SOFTWARE\\Orrindale\\TSL", "Blocked"), Sz("0"));
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600U) << "the replaced file keeps its permissions";
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Join("var/lib/tessaline")),
                          std::filesystem::directory_iterator{}),
            1)
      << "no temporary file is left behind";
}

TEST(RegistryFileTest, AStoreThatCannotBeWrittenSaysWhy) {
  const testing::TempDir folder;
  testing::WriteBytes(folder.Join("blocker"), "a file where a folder should be");
  RegistryFile file(folder.Join("blocker/registry.reg"));
  try {
    file.Write(kHkeyLocalMachine, "SOFTWARE\\Orrindale\\TSL", "Blocked", Sz("1"));
    FAIL() << "a write that did not stick was taken as done";
  } catch (const SettingsError& failure) {
    EXPECT_STREQ(failure.what(), ("Could not record \"Blocked\" in \"" +
                                  folder.Join("blocker/registry.reg") + "\": Not a directory")
                                     .c_str());
  }
  EXPECT_EQ(file.Read(kHkeyLocalMachine, "SOFTWARE\\Orrindale\\TSL", "Blocked"), std::nullopt);
}

// The files regedit writes, each read and written in its own encoding and line ends, with
// every byte but the value's own line left as it was.
TEST(RegistryFileTest, EveryFormatRegeditWritesIsReadAndWrittenInItsOwnEncoding) {
  const std::u16string v5 =
      u"Windows Registry Editor Version 5.00\r\n\r\n"
      u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orrindale\\TSL]\r\n"
      u"\"Blocked\"=\"1\"\r\n"
      u"\"Owner\"=\"\u00c9milie \u4e2d\U0001F600\"\r\n";
  std::u16string v5_off = v5;
  v5_off.replace(v5_off.find(u"\"1\""), 3, u"\"0\"");
  const auto utf16 = [](std::u16string_view text) {
    std::string bytes = "\xff\xfe";
    for (const char16_t unit : text) {
      bytes.push_back(static_cast<char>(unit & 0xFF));
      bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
  };
  const std::string v5_utf8 =
      "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orrindale\\TSL]\n"
      "\"Blocked\"=\"1\"\n\"Owner\"=\"\xc3\x89milie\"\n";
  const std::string cr_only =
      "REGEDIT4\r\r[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orrindale\\TSL]\r\"Blocked\"=\"1\"\r";
  struct Case {
    std::string name, before, after;
  };
  const Case cases[] = {
      {"UTF-16LE", utf16(v5), utf16(v5_off)},
      {"UTF-8 with BOM", "\xef\xbb\xbf" + v5_utf8,
       "\xef\xbb\xbf" + std::string(v5_utf8).replace(v5_utf8.find("\"1\""), 3, "\"0\"")},
      {"UTF-8", v5_utf8, std::string(v5_utf8).replace(v5_utf8.find("\"1\""), 3, "\"0\"")},
      {"CR only", cr_only, std::string(cr_only).replace(cr_only.find("\"1\""), 3, "\"0\"")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const testing::TempDir folder;
    testing::WriteBytes(folder.Join("registry.reg"), c.before);
    RegistryFile file(folder.Join("registry.reg"));
    EXPECT_EQ(RegistryGetString(file, kHkeyLocalMachine, kSettingsKey, "Blocked", ""), "1");
    RegistrySaveString(file, kHkeyLocalMachine, kSettingsKey, "Blocked", "0");
    EXPECT_EQ(testing::ReadBytes(folder.Join("registry.reg")), c.after);
  }
}

TEST(RegistryFileTest, AFileThatCannotBeUnderstoodIsNeverWritten) {
  const std::string odd("\xff\xfeR\0E\0G\0", 8);
  const std::string unknown = "REGEDIT9\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orrindale\\TSL]\r\n";
  for (const std::string& bytes : {odd + "x", unknown}) {
    const testing::TempDir folder;
    testing::WriteBytes(folder.Join("registry.reg"), bytes);
    RegistryFile file(folder.Join("registry.reg"));
    EXPECT_THROW(RegistrySaveString(file, kHkeyLocalMachine, kSettingsKey, "Blocked", "1"),
                 SettingsError);
    EXPECT_EQ(testing::ReadBytes(folder.Join("registry.reg")), bytes);
  }
}

TEST(RegistryFileTest, ALinkedStoreIsWrittenThroughToItsTarget) {
  const testing::TempDir folder;
  const std::string target = folder.Join("real/registry.reg");
  testing::WriteBytes(target, "REGEDIT4\r\n");
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  ASSERT_EQ(::chown(target.c_str(), 1234, 5678), 0);
  std::filesystem::create_directory_symlink(folder.Join("real"), folder.Join("dir-link"));
  std::filesystem::create_directory(folder.Join("etc"));
  std::filesystem::create_symlink("../dir-link/registry.reg", folder.Join("etc/registry.reg"));
  RegistryFile file(folder.Join("etc/registry.reg"));
  RegistrySaveString(file, kHkeyLocalMachine, kSettingsKey, "Blocked", "1");

  EXPECT_TRUE(std::filesystem::is_symlink(folder.Join("etc/registry.reg")));
  EXPECT_EQ(RegistryGetString(RegistryFile(target), kHkeyLocalMachine, kSettingsKey, "Blocked", ""),
            "1");
  struct stat info {};
  ASSERT_EQ(::stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640U);
  EXPECT_EQ(info.st_uid, 1234U);
  EXPECT_EQ(info.st_gid, 5678U);
}

TEST(RegistryFileTest, AStoreThatIsNoFileReadsAsMissingAndIsNotWritten) {
  const testing::TempDir folder;
  const std::string fifo = folder.Join("registry.reg");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  RegistryFile file(fifo);
  EXPECT_EQ(RegistryGetString(file, kHkeyLocalMachine, kSettingsKey, "Blocked", "none"), "none");
  EXPECT_THROW(RegistrySaveString(file, kHkeyLocalMachine, kSettingsKey, "Blocked", "1"),
               SettingsError);
  EXPECT_EQ(RegistryGetString(RegistryFile("/dev/zero"), kHkeyLocalMachine, kSettingsKey, "Blocked",
                              "none"),
            "none");
}

}  // namespace
}  // namespace tsl

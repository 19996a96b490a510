#include "platform/posix/registry_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "testsupport/test_support.h"

namespace tsl {
namespace {

constexpr std::string_view kKey = "SOFTWARE\\Orrindale\\TSL";

RegistryValue Sz(std::string_view text) { return {kRegSz, std::string(text) + '\0'}; }

TEST(RegistryFileTest, WritesCreateTheFolderAndReplaceTheFileWhole) {
  const testing::TempDir folder;
  const std::string path = folder.Join("var/lib/tessaline/registry.reg");
  RegistryFile file(path);
  EXPECT_EQ(file.Read(kHkeyLocalMachine, kKey, "Blocked"), std::nullopt);

  file.Write(kHkeyLocalMachine, kKey, "Blocked", Sz("1"));
  EXPECT_EQ(
      testing::ReadBytes(path),
      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orrindale\\TSL]\r\n\"Blocked\"=\"1\"\r\n");

  ::chmod(path.c_str(), 0600);
  file.Write(kHkeyLocalMachine, kKey, "Blocked", Sz("0"));
  EXPECT_EQ(file.Read(kHkeyLocalMachine, kKey, "Blocked"), Sz("0"));
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
    file.Write(kHkeyLocalMachine, kKey, "Blocked", Sz("1"));
    FAIL() << "a write that did not stick was taken as done";
  } catch (const SettingsError& failure) {
    EXPECT_STREQ(failure.what(), ("Could not record \"Blocked\" in \"" +
                                  folder.Join("blocker/registry.reg") + "\": Not a directory")
                                     .c_str());
  }
  EXPECT_EQ(file.Read(kHkeyLocalMachine, kKey, "Blocked"), std::nullopt);
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
  const std::string v5_utf8 =
      "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orrindale\\TSL]\n"
      "\"Blocked\"=\"1\"\n\"Owner\"=\"\xc3\x89milie\"\n";
  const std::string cr_only =
      "REGEDIT4\r\r[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orrindale\\TSL]\r\"Blocked\"=\"1\"\r";
  struct Case {
    std::string name, before, after;
  };
  const Case cases[] = {
      {"UTF-16LE", testing::Utf16Le(v5), testing::Utf16Le(v5_off)},
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
    EXPECT_EQ(file.Read(kHkeyLocalMachine, kKey, "Blocked"), Sz("1"));
    file.Write(kHkeyLocalMachine, kKey, "Blocked", Sz("0"));
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
    EXPECT_THROW(file.Write(kHkeyLocalMachine, kKey, "Blocked", Sz("1")), SettingsError);
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
  file.Write(kHkeyLocalMachine, kKey, "Blocked", Sz("1"));

  EXPECT_TRUE(std::filesystem::is_symlink(folder.Join("etc/registry.reg")));
  EXPECT_EQ(RegistryFile(target).Read(kHkeyLocalMachine, kKey, "Blocked"), Sz("1"));
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
  EXPECT_EQ(file.Read(kHkeyLocalMachine, kKey, "Blocked"), std::nullopt);
  EXPECT_THROW(file.Write(kHkeyLocalMachine, kKey, "Blocked", Sz("1")), SettingsError);
  EXPECT_EQ(RegistryFile("/dev/zero").Read(kHkeyLocalMachine, kKey, "Blocked"), std::nullopt);
}

}  // namespace
}  // namespace tsl

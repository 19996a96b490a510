#include <windows.h>

#include <gtest/gtest.h>

#include "platform/real_file_system.h"
#include "protection/hosts_file.h"
#include "testsupport/test_support.h"

namespace tsl {
namespace {

// The normal-file filter of a directory listing: hidden and system files and directories
// are passed over; read-only and archive files count.
TEST(FileExistsWin32Test, HiddenAndSystemFilesAreNotFound) {
  const testing::TempDir folder;
  const RealFileSystem files(folder.path());
  const struct {
    DWORD attributes;
    bool found;
  } cases[] = {
      {FILE_ATTRIBUTE_NORMAL, true},  {FILE_ATTRIBUTE_READONLY, true},
      {FILE_ATTRIBUTE_ARCHIVE, true}, {FILE_ATTRIBUTE_HIDDEN, false},
      {FILE_ATTRIBUTE_SYSTEM, false}, {FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY, false},
  };
  for (const auto& c : cases) {
    const std::string path = folder.Join("hosts");
    testing::WriteBytes(path, "");
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), c.attributes));
    if (c.attributes != FILE_ATTRIBUTE_NORMAL) {  // "normal" reads back as no attribute
      ASSERT_EQ(GetFileAttributesA(path.c_str()) & c.attributes, c.attributes)
          << "the file system keeps the attributes";
    }
    std::string hosts_file;
    EXPECT_EQ(LocateHostsFile(files, hosts_file), c.found) << std::hex << c.attributes;
    EXPECT_EQ(files.FileExists(path), c.found) << std::hex << c.attributes;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  EXPECT_FALSE(files.FileExists(folder.path()));
  EXPECT_FALSE(files.FileExists(folder.Join("h*")));
}

TEST(WindowsFolderWin32Test, ADriveRootKeepsItsOneSeparator) {
  const RealFileSystem drive_root("C:\\");
  EXPECT_EQ(WindowsFolder(drive_root), "C:\\");
  EXPECT_EQ(WindowsFolder(RealFileSystem(SystemWindowsDirectory())).back(), '\\');
  EXPECT_EQ(WindowsFolder(RealFileSystem("C:\\WINDOWS")), "C:\\WINDOWS\\");
}

}  // namespace
}  // namespace tsl

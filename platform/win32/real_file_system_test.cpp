// The Windows file layer against what others leave in its way: a program folder whose name
// the ANSI code page cannot carry, a file too big to hold, links planted where the backup
// goes, and files that only look like the program's leftovers.
#include "platform/real_file_system.h"

#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/temporary_name.h"
#include "platform/win32/ansi_path.h"
#include "platform/win32/handle.h"
#include "testsupport/exit_status_win32.h"
#include "testsupport/test_support.h"

namespace tsl {
namespace {

constexpr const char* kFolderReport = "TSL_TEST_FOLDER_REPORT";  // where the child writes

// Run only as a child of the test below, from a copy of this program: writes the folder
// the program finds itself in, or the failure.
TEST(ExecutableFolderChild, Report) {
  const char* report = std::getenv(kFolderReport);
  if (report == nullptr) GTEST_SKIP() << "run only by the executable-folder test";
  std::string found;
  try {
    found = "folder:" + ExecutableFolder();
  } catch (const FileError& failure) {
    found = std::string("failure:") + failure.what();
  }
  testing::WriteBytes(report, found);
}

// Runs a copy of this program from the folder `name` inside `parent` and returns what it
// found.
std::string FolderSeenFrom(const testing::TempDir& parent, const std::wstring& name) {
  const std::wstring folder = testing::Wide(parent.path()) + L"\\" + name;
  EXPECT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring program = folder + L"\\tests.exe";
  EXPECT_TRUE(CopyFileW(self, program.c_str(), TRUE));
  const std::string report = parent.Join("report");
  SetEnvironmentVariableA(kFolderReport, report.c_str());
  testing::Started child(L"\"" + program + L"\" --gtest_filter=ExecutableFolderChild.Report");
  SetEnvironmentVariableA(kFolderReport, nullptr);
  child.Wait();
  std::string found = testing::ReadBytes(report);
  DeleteFileW(program.c_str());
  RemoveDirectoryW(folder.c_str());
  DeleteFileA(report.c_str());
  return found;
}

// "Ω" has no place in the Western code page: best fit would make it "O", a twin folder
// that someone else may have made with a block list of their own.
TEST(ExecutableFolderWin32Test, APathTheCodePageCannotCarryIsAFailureNotATwin) {
  ASSERT_EQ(GetACP(), 1252U) << "the test names folders for the Western code page";
  const testing::TempDir parent;
  const std::string omega = FolderSeenFrom(parent, L"Tessaline \u03A9mega");
  EXPECT_EQ(omega.rfind("failure:", 0), 0U) << omega;
  EXPECT_NE(omega.find("the running program"), std::string::npos) << omega;
  EXPECT_EQ(FolderSeenFrom(parent, L"\u65E5\u672C").rfind("failure:", 0), 0U);
  // A character the code page has is carried exactly.
  EXPECT_EQ(FolderSeenFrom(parent, L"Tessaline \u00E9t\u00E9"),
            "folder:" + parent.path() + "\\Tessaline \xE9t\xE9");
}

TEST(ExactAnsiWin32Test, OnlyAnExactConversionIsGiven) {
  ASSERT_EQ(GetACP(), 1252U);
  EXPECT_EQ(ExactAnsi(L"C:\\Program Files\\Tessaline"), "C:\\Program Files\\Tessaline");
  EXPECT_EQ(ExactAnsi(L"\u00E9"), "\xE9");
  EXPECT_EQ(ExactAnsi(L""), "");
  EXPECT_FALSE(ExactAnsi(L"\u03A9"));  // best fit: "O"
  EXPECT_FALSE(ExactAnsi(L"\u221E"));  // best fit: "8"
  EXPECT_FALSE(ExactAnsi(L"\u65E5"));  // no fit: "?"
}

// A sparse file far above the largest the steps take.
void MakeHuge(const std::string& path) {
  const UniqueHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file.valid());
  DWORD returned = 0;
  DeviceIoControl(file.get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
  LARGE_INTEGER size{};
  size.QuadPart = 64LL << 30;
  ASSERT_TRUE(SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN));
  ASSERT_TRUE(SetEndOfFile(file.get()));
}

TEST(RealFileSystemWin32Test, AFileTooBigIsAFailureNamingTheStepAndPath) {
  const testing::TempDir folder;
  RealFileSystem files(folder.path());
  const std::string huge = folder.Join("hosts");
  MakeHuge(huge);
  const auto expect_too_big = [&](const auto& step) {
    try {
      step();
      ADD_FAILURE() << "a 64 GiB file was taken";
    } catch (const FileError& failure) {
      EXPECT_EQ(failure.path(), huge);
      EXPECT_EQ(std::string(failure.what()), "Could not read \"" + huge + "\": too big");
    }
  };
  expect_too_big([&] { (void)files.ReadWholeFile(huge); });
  expect_too_big([&] { (void)files.ReadOwnFile(huge); });
}

// What only looks like a leftover stays: a read-only file, a folder, and every copy of a
// file that is missing, which may be the only one of it.
TEST(RealFileSystemWin32Test, OnlyThePlainLeftoversOfAnExistingFileAreRemoved) {
  const testing::TempDir folder;
  RealFileSystem files(folder.path());
  const std::string hosts = folder.Join("hosts");
  const std::string leftover = TemporaryStem(hosts) + "a1b2c3d4e5f6g7h8";
  const std::string read_only = TemporaryStem(hosts) + "d4e5f6g7h8i9j0k1";
  const std::string directory = TemporaryStem(hosts) + "g7h8i9j0k1l2m3n4";
  testing::WriteBytes(leftover, "new bytes\r\n");
  files.RemoveTemporaryCopies(hosts);
  EXPECT_EQ(testing::ReadBytes(leftover), "new bytes\r\n") << "the only copy of the hosts file";

  testing::WriteBytes(hosts, "hosts\r\n");
  testing::WriteBytes(read_only, "a person's\r\n");
  testing::MakeReadOnly(read_only);
  ASSERT_TRUE(CreateDirectoryA(directory.c_str(), nullptr));
  files.RemoveTemporaryCopies(hosts);
  EXPECT_FALSE(testing::PathExists(leftover));
  EXPECT_EQ(testing::ReadBytes(read_only), "a person's\r\n");
  EXPECT_TRUE(testing::PathExists(directory));
  SetFileAttributesA(read_only.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryA(directory.c_str());
}

// A link planted where the backup goes is refused both ways: activation does not write
// through it, deactivation does not copy what it points to over the hosts file.
TEST(RealFileSystemWin32Test, ALinkInPlaceOfTheBackupIsRefused) {
  const testing::TempDir folder;
  RealFileSystem files(folder.path());
  const std::string secret = folder.Join("secret");
  const std::string backup = folder.Join("host.bak");
  const std::string hosts = folder.Join("hosts");
  testing::WriteBytes(secret, "secret\r\n");
  testing::WriteBytes(hosts, "hosts\r\n");
  if (!CreateSymbolicLinkA(backup.c_str(), secret.c_str(), 0) ||
      (GetFileAttributesA(backup.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) == 0 ||
      GetFileAttributesA(backup.c_str()) == INVALID_FILE_ATTRIBUTES) {
    GTEST_SKIP() << "this system makes no symbolic links here";
  }
  EXPECT_THROW(files.WriteCopyOf(hosts, "hosts\r\n", backup), FileError);
  EXPECT_THROW((void)files.ReadOwnFile(backup), FileError);
  EXPECT_EQ(testing::ReadBytes(secret), "secret\r\n");
  EXPECT_EQ(testing::ReadBytes(hosts), "hosts\r\n");
}

}  // namespace
}  // namespace tsl

#include "protection/hosts_file.h"

#include <gtest/gtest.h>

#include "platform/real_file_system.h"
#include "testsupport/test_support.h"

namespace tsl {
namespace {

using testing::TempDir;
using testing::WriteBytes;

class LocateHostsFileTest : public ::testing::Test {
 protected:
  std::string EtcHosts() const { return windows_.Join("system32/drivers/etc/hosts"); }
  std::string PlainHosts() const { return windows_.Join("hosts"); }

  TempDir windows_;
  RealFileSystem files_{windows_.path()};
  std::string hosts_file_;
};

TEST_F(LocateHostsFileTest, FindsTheFileUnderDriversEtc) {
  WriteBytes(EtcHosts(), "127.0.0.1 localhost\r\n");
  EXPECT_TRUE(LocateHostsFile(files_, hosts_file_));
  EXPECT_EQ(hosts_file_, EtcHosts());
}

TEST_F(LocateHostsFileTest, FindsTheFileInTheWindowsDirectory) {
  WriteBytes(PlainHosts(), "");
  EXPECT_TRUE(LocateHostsFile(files_, hosts_file_));
  EXPECT_EQ(hosts_file_, PlainHosts());
}

TEST_F(LocateHostsFileTest, TheLaterCandidateWinsWhenBothExist) {
  WriteBytes(EtcHosts(), "");
  WriteBytes(PlainHosts(), "");
  EXPECT_TRUE(LocateHostsFile(files_, hosts_file_));
  EXPECT_EQ(hosts_file_, PlainHosts());
}

TEST_F(LocateHostsFileTest, NothingFoundLeavesThePathAsItWas) {
  WriteBytes(windows_.Join("system32/drivers/etc/hosts/inside"), "a folder named hosts");
  hosts_file_ = "earlier";
  EXPECT_FALSE(LocateHostsFile(files_, hosts_file_));
  EXPECT_EQ(hosts_file_, "earlier");
}

TEST_F(LocateHostsFileTest, ASeparatorAtTheEndOfTheWindowsDirectoryIsNotDoubled) {
  const RealFileSystem with_separator(windows_.path() + kPathSeparator);
  EXPECT_EQ(WindowsFolder(with_separator), windows_.path() + kPathSeparator);
  EXPECT_EQ(WindowsFolder(files_), windows_.path() + kPathSeparator);
  EXPECT_EQ(WindowsFolder(RealFileSystem("")), std::string(1, kPathSeparator));

  WriteBytes(EtcHosts(), "");
  EXPECT_TRUE(LocateHostsFile(with_separator, hosts_file_));
  EXPECT_EQ(hosts_file_, EtcHosts());
}

TEST_F(LocateHostsFileTest, AReadOnlyHostsFileIsFound) {
  WriteBytes(PlainHosts(), "");
  testing::MakeReadOnly(PlainHosts());
  EXPECT_TRUE(files_.FileExists(PlainHosts()));
}

}  // namespace
}  // namespace tsl

// Root runs only from an AppFolder that no other user can change: the folder, data.dat and
// host.sec must be root's alone, and none of data.dat, host.sec and host.bak may be a link.
#include "platform/app_folder_trust.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/file_system.h"
#include "platform/real_file_system.h"
#include "testsupport/test_support.h"

namespace tsl {
namespace {

constexpr uid_t kNobody = 65534;

class AppFolderTrustTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "the check is for runs as root";
    ASSERT_EQ(::chmod(app_.path().c_str(), 0755), 0);
    testing::WriteBytes(app_.Join("data.dat"), "a.example\r\n");
    testing::WriteBytes(app_.Join("host.bak"), "backup\r\n");
    testing::WriteBytes(app_.Join("host.sec"), "record\r\n");
  }

  // The failure's text, or "trusted".
  std::string Check() const {
    try {
      RequireTrustedAppFolder(app_.path());
    } catch (const FileError& failure) {
      return failure.what();
    }
    return "trusted";
  }

  testing::TempDir app_;
};

TEST_F(AppFolderTrustTest, AFolderAndFilesOfRootsAloneAreTrusted) {
  EXPECT_EQ(Check(), "trusted");
  ASSERT_EQ(::chmod(app_.path().c_str(), 0775), 0);  // root's own group may write
  EXPECT_EQ(Check(), "trusted");
  // A backup an earlier version gave a user's hosts file's owner and group write: its bytes
  // never reach the hosts file, and the next activation replaces it.
  ASSERT_EQ(::chown(app_.Join("host.bak").c_str(), kNobody, 50), 0);
  ASSERT_EQ(::chmod(app_.Join("host.bak").c_str(), 0664), 0);
  EXPECT_EQ(Check(), "trusted");
  std::remove(app_.Join("host.bak").c_str());
  std::remove(app_.Join("host.sec").c_str());
  EXPECT_EQ(Check(), "trusted") << "no backup or record yet";
}

TEST_F(AppFolderTrustTest, AnythingAnotherUserCanWriteIsRefused) {
  const std::string folder = app_.path();
  const std::string data = app_.Join("data.dat");
  const std::string record = app_.Join("host.sec");
  const std::vector<std::pair<std::string, std::function<int()>>> changes = {
      {"folder for all", [&] { return ::chmod(folder.c_str(), 01777); }},
      {"folder of nobody", [&] { return ::chown(folder.c_str(), kNobody, 0); }},
      {"folder of nobody's group",
       [&] { return ::chown(folder.c_str(), 0, kNobody) | ::chmod(folder.c_str(), 0775); }},
      {"data.dat of nobody", [&] { return ::chown(data.c_str(), kNobody, kNobody); }},
      {"host.sec for all", [&] { return ::chmod(record.c_str(), 0666); }},
      {"host.sec of nobody's group",
       [&] { return ::chown(record.c_str(), 0, kNobody) | ::chmod(record.c_str(), 0664); }},
      {"an ACL entry for nobody",
       [&] { return std::system(("setfacl -m u:65534:rwx '" + folder + "'").c_str()); }},
  };
  for (const auto& [what, change] : changes) {
    SCOPED_TRACE(what);
    ASSERT_EQ(::chmod(folder.c_str(), 0755) | ::chown(folder.c_str(), 0, 0) |
                  ::chown(data.c_str(), 0, 0) | ::chown(record.c_str(), 0, 0) |
                  ::chmod(record.c_str(), 0644),
              0);
    [[maybe_unused]] const int cleared =
        std::system(("setfacl -b '" + folder + "' 2>/dev/null").c_str());
    ASSERT_EQ(Check(), "trusted");
    ASSERT_EQ(change(), 0);
    const std::string text = Check();
    EXPECT_NE(text.find("a user other than root can write it"), std::string::npos) << text;
  }
}

TEST_F(AppFolderTrustTest, ALinkOrOddFileForTheBackupOrRecordIsRefused) {
  for (const std::string name : {"host.bak", "host.sec"}) {
    SCOPED_TRACE(name);
    const std::string path = app_.Join(name);
    std::remove(path.c_str());
    ASSERT_EQ(::symlink("/etc/shadow", path.c_str()), 0);
    EXPECT_NE(Check().find("a symbolic link"), std::string::npos) << Check();
    std::remove(path.c_str());
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_NE(Check().find("not a regular file"), std::string::npos) << Check();
    std::remove(path.c_str());
    testing::WriteBytes(path, "mine\r\n");
  }
}

// The program itself, run as root from a folder all may write: it stops before it
// touches a file, and says why.
TEST_F(AppFolderTrustTest, TheProgramRunAsRootFromAnOpenFolderTouchesNothing) {
  const testing::TempDir windows;
  testing::WriteBytes(windows.Join("hosts"), "original\r\n");
  ASSERT_EQ(::chmod(app_.path().c_str(), 0777), 0);
  std::remove(app_.Join("host.bak").c_str());
  const std::string program = app_.Join("tessaline");
  // A copy: the build folder and the temporary folder may be on two file systems.
  std::filesystem::copy_file(ExecutableFolder() + "/tessaline", program);
  const std::string command = "TESSALINE_WINDIR='" + windows.path() + "' TESSALINE_REGISTRY='" +
                              windows.Join("registry.reg") + "' TESSALINE_LOCK='" +
                              windows.Join("lock/tessaline.lock") + "' '" + program +
                              "' activate >/dev/null 2>'" + windows.Join("err") + "'";
  const int status = std::system(command.c_str());
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(testing::ReadBytes(windows.Join("err")).find("a user other than root can write it"),
            std::string::npos)
      << testing::ReadBytes(windows.Join("err"));
  EXPECT_EQ(testing::ReadBytes(windows.Join("hosts")), "original\r\n");
  EXPECT_FALSE(testing::PathExists(app_.Join("host.bak")));
  EXPECT_FALSE(testing::PathExists(windows.Join("lock")));
  EXPECT_FALSE(testing::PathExists(windows.Join("registry.reg")));
}

}  // namespace
}  // namespace tsl

#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/real_file_system.h"
#include "testsupport/test_support.h"

namespace tsl {
namespace {

// On POSIX a plain file is a regular file whose name does not start with a dot; a hosts
// file reached through a symbolic link counts, as /etc/hosts often is one.
TEST(FileExistsPosixTest, RegularFilesCountAndDotFilesDoNot) {
  const testing::TempDir folder;
  const RealFileSystem files(folder.path());
  testing::WriteBytes(folder.Join("hosts"), "");
  testing::WriteBytes(folder.Join(".hosts"), "");
  ASSERT_EQ(::symlink(folder.Join("hosts").c_str(), folder.Join("linked").c_str()), 0);

  EXPECT_TRUE(files.FileExists(folder.Join("hosts")));
  EXPECT_TRUE(files.FileExists(folder.Join("linked")));
  EXPECT_FALSE(files.FileExists(folder.Join(".hosts")));
  EXPECT_FALSE(files.FileExists(folder.path()));
  EXPECT_FALSE(files.FileExists(folder.Join("missing")));
  EXPECT_FALSE(files.FileExists("/dev/null"));
}

}  // namespace
}  // namespace tsl

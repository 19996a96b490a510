#include "platform/path.h"

#include <gtest/gtest.h>

#include <string>

namespace tsl {
namespace {

// The root keeps its separator, so that the folder of a file at the root still names it;
// Windows takes "/" between folders as well as "\".
TEST(PathTest, TheFolderAndNameOfAPathOnThisPlatform) {
  const std::string sep(1, kPathSeparator);
  struct Case {
    std::string path;
    std::string folder;
    std::string name;
  };
  const Case cases[] = {
      {"hosts", ".", "hosts"},
      {sep + "etc" + sep + "hosts", sep + "etc", "hosts"},
      {sep + "hosts", sep, "hosts"},
      {"C:" + sep + "tessaline.exe", "C:" + sep, "tessaline.exe"},
      {"C:" + sep + "Program Files" + sep + "TSL" + sep, "C:" + sep + "Program Files" + sep + "TSL",
       ""},
      {"app/data.dat", "app", "data.dat"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParentFolder(c.path), c.folder) << c.path;
    EXPECT_EQ(FileName(c.path), c.name) << c.path;
  }
}

}  // namespace
}  // namespace tsl

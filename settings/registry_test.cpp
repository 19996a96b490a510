#include "settings/registry.h"

#include <gtest/gtest.h>

#include "testsupport/test_support.h"

namespace tsl {
namespace {

class RegistryTest : public ::testing::Test {
 protected:
  std::string Get(std::string_view name) {
    return RegistryGetString(hive_, kHkeyLocalMachine, kSettingsKey, name, "");
  }
  void Put(std::string_view name, std::uint32_t type, std::string data) {
    hive_.Write(kHkeyLocalMachine, kSettingsKey, name, RegistryValue{type, std::move(data)});
  }

  testing::ScratchRegistry hive_;
};

TEST_F(RegistryTest, MissingKeyGivesTheDefaultAndTheFirstWriteCreatesIt) {
  EXPECT_EQ(Get(kBlockedValue), "");
  EXPECT_EQ(RegistryGetString(hive_, kHkeyLocalMachine, kSettingsKey, kServersValue, "none"),
            "none");

  RegistrySaveString(hive_, kHkeyLocalMachine, kSettingsKey, kBlockedValue, "1");
  EXPECT_EQ(Get(kBlockedValue), "1");
  EXPECT_EQ(hive_.Read(kHkeyLocalMachine, kSettingsKey, kBlockedValue),
            (RegistryValue{kRegSz, std::string("1\0", 2)}));

  RegistrySaveString(hive_, kHkeyLocalMachine, kSettingsKey, kBlockedValue, "0");
  EXPECT_EQ(Get(kBlockedValue), "0");
  EXPECT_EQ(Get(kServersValue), "") << "a write touches only its own value";
}

TEST_F(RegistryTest, OnlyStringValuesAreRead) {
  Put(kBlockedValue, kRegDword, std::string("\x01\x00\x00\x00", 4));
  Put(kServersValue, kRegExpandSz, std::string("1\0", 2));
  Put("Other", kRegBinary, "1");
  EXPECT_EQ(Get(kBlockedValue), "");
  EXPECT_EQ(Get(kServersValue), "");
  EXPECT_EQ(Get("Other"), "");
}

TEST_F(RegistryTest, TextEndsAtTheFirstNulOrAtTheDataEnd) {
  Put("NoTerminator", kRegSz, "42  ");
  Put("EmbeddedNul", kRegSz,
      std::string("4\0"
                  "2\0",
                  4));
  Put("Empty", kRegSz, std::string("\0", 1));
  EXPECT_EQ(Get("NoTerminator"), "42  ");
  EXPECT_EQ(Get("EmbeddedNul"), "4");
  EXPECT_EQ(Get("Empty"), "");
}

TEST_F(RegistryTest, TextIsKeptExactly) {
  for (const std::string text : {" 1", "1 ", "caf\xe9 \"quoted\" back\\slash", ""}) {
    RegistrySaveString(hive_, kHkeyLocalMachine, kSettingsKey, kServersValue, text);
    EXPECT_EQ(Get(kServersValue), text);
  }
}

}  // namespace
}  // namespace tsl

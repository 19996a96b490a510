// The Windows registry refusing a write: the failure names the value, the key and the
// system's reason.
#include <gtest/gtest.h>

#include "platform/registry_hive.h"

namespace tsl {
namespace {

TEST(Win32RegistryTest, ARefusedWriteSaysWhichKeyAndWhy) {
  const auto registry = OpenSystemRegistry();
  // A key name may not be longer than 255 characters.
  const std::string key = "SOFTWARE\\TessalineTests\\" + std::string(300, 'k');
  try {
    registry->Write(kHkeyLocalMachine, key, "Blocked",
                    RegistryValue{kRegSz, std::string("1\0", 2)});
    FAIL() << "a refused write was taken as done";
  } catch (const SettingsError& failure) {
    const std::string text = failure.what();
    EXPECT_EQ(text.rfind("Could not record \"Blocked\" in HKEY_LOCAL_MACHINE\\" + key + ": ", 0),
              0U)
        << text;
    EXPECT_GT(text.size(), text.find(": ") + 2) << "the system's reason follows";
  }
  EXPECT_EQ(registry->Read(kHkeyLocalMachine, key, "Blocked"), std::nullopt);
}

}  // namespace
}  // namespace tsl

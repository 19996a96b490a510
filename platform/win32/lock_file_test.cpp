// The operation lock's Windows half: one place for the whole machine that only SYSTEM and
// the administrators may open, and a holder report that never names a process that is gone.
#include "platform/lock_file.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "testsupport/test_support.h"

namespace tsl {
namespace {

// Whether the file system keeps the rights it is given (Wine makes them up from the Unix
// mode bits instead).
bool KeepsRights() {
  const testing::TempDir folder;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;FA;;;SY)", SDDL_REVISION_1,
                                                       &descriptor, nullptr);
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
  SetNamedSecurityInfoA(const_cast<char*>(folder.path().c_str()), SE_FILE_OBJECT,
                        DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                        nullptr, dacl, nullptr);
  LocalFree(descriptor);
  PSECURITY_DESCRIPTOR read_back = nullptr;
  GetNamedSecurityInfoA(folder.path().c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                        nullptr, &dacl, nullptr, &read_back);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorControl(read_back, &control, &revision);
  const bool kept = (control & SE_DACL_PROTECTED) != 0 && dacl != nullptr && dacl->AceCount == 1;
  LocalFree(read_back);
  return kept;
}

TEST(SystemLockPathWin32Test, OneFolderUnderProgramDataForAdministratorsAndSystemOnly) {
  char program_data[MAX_PATH] = {};
  ASSERT_EQ(
      SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, program_data),
      S_OK);
  const std::string folder = std::string(program_data) + "\\Tessaline";
  EXPECT_EQ(SystemLockPath(), folder + "\\tessaline.lock");
  EXPECT_EQ(SystemLockPath(), folder + "\\tessaline.lock") << "the same place every time";
  { const LockFile lock(SystemLockPath()); }
  EXPECT_NE(GetFileAttributesA(folder.c_str()), INVALID_FILE_ATTRIBUTES) << "made by the lock";
  if (!KeepsRights()) GTEST_SKIP() << "this file system keeps no rights of its own";

  PACL dacl = nullptr;
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(GetNamedSecurityInfoA(folder.c_str(), SE_FILE_OBJECT,
                                  DACL_SECURITY_INFORMATION | OWNER_SECURITY_INFORMATION, &owner,
                                  nullptr, &dacl, nullptr, &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorControl(descriptor, &control, &revision);
  EXPECT_NE(control & SE_DACL_PROTECTED, 0) << "rights from the parent folder are not inherited";
  EXPECT_TRUE(IsWellKnownSid(owner, WinBuiltinAdministratorsSid));
  ASSERT_NE(dacl, nullptr);
  char* text = nullptr;
  ConvertSecurityDescriptorToStringSecurityDescriptorA(
      descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION | OWNER_SECURITY_INFORMATION, &text,
      nullptr);
  const std::string described = text != nullptr ? text : "";
  LocalFree(text);
  ASSERT_EQ(dacl->AceCount, 2) << described;
  for (WORD i = 0; i < dacl->AceCount; ++i) {
    void* entry = nullptr;
    ASSERT_TRUE(GetAce(dacl, i, &entry));
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
    EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    const PSID who = &allowed->SidStart;
    EXPECT_TRUE(IsWellKnownSid(who, WinLocalSystemSid) ||
                IsWellKnownSid(who, WinBuiltinAdministratorsSid))
        << described;
  }
  LocalFree(descriptor);
}

TEST(LockFileWin32Test, AHolderWhoseProcessHasEndedIsUnknown) {
  const testing::TempDir folder;
  const std::string path = folder.Join("tessaline.lock");
  testing::WriteBytes(path, "4294967292\r\n");  // no process has this number
  LockFile first(path);
  ASSERT_TRUE(first.TryLock());
  LockFile second(path);
  EXPECT_FALSE(second.TryLock());
  EXPECT_EQ(second.Holder(), "") << "a number left by an earlier holder";
  first.RecordHolder();
  EXPECT_EQ(second.Holder(), std::to_string(GetCurrentProcessId()));
}

}  // namespace
}  // namespace tsl

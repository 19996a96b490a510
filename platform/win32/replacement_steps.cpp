#include "platform/win32/replacement_steps.h"

#include <windows.h>
// After windows.h, which it needs.
#include <aclapi.h>

#include <utility>

#include "platform/atomic_replace.h"
#include "platform/win32/busy_retry.h"
#include "platform/win32/error.h"
#include "platform/win32/handle.h"
#include "platform/win32/open_file.h"

namespace tsl {
namespace {

// Gives the copy the access rights of `to` (and its owner and group, where this process
// may), so that a rename keeps them. False when the rights could not be carried over.
bool CarryAccessRights(const std::string& to, const std::string& copy) {
  PSID owner = nullptr;
  PSID group = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoA(
          to.c_str(), SE_FILE_OBJECT,
          OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
          &owner, &group, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const UniqueLocalMemory owned(descriptor);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorControl(descriptor, &control, &revision);
  const SECURITY_INFORMATION inheritance = (control & SE_DACL_PROTECTED) != 0
                                               ? PROTECTED_DACL_SECURITY_INFORMATION
                                               : UNPROTECTED_DACL_SECURITY_INFORMATION;
  char* const name = const_cast<char*>(copy.c_str());
  if (SetNamedSecurityInfoA(name, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | inheritance, nullptr,
                            nullptr, dacl, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  // Giving a file another owner takes a privilege an administrator may not hold; the
  // rights are what keep others out.
  SetNamedSecurityInfoA(name, SE_FILE_OBJECT,
                        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION, owner, group,
                        nullptr, nullptr);
  return true;
}

// The steps on Win32 handles; what may stand in the file's place, the rights the copy gets
// and how it takes the file's place are each kind's own.
class Win32Replacement : public FileReplacement {
 public:
  using FileReplacement::FileReplacement;

  // CREATE_NEW with the link flag never opens what a planted name points to.
  StepOutcome Create(const std::string& temporary) override {
    temporary_ = temporary;
    copy_.reset(CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (copy_.valid()) return StepOutcome::kDone;
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS) return Failed(StepOutcome::kNameTaken, error);
    // No one can hold a name that did not exist: the folder refuses new files.
    if (error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT) {
      return Failed(StepOutcome::kInPlaceOnly, error);
    }
    return Failed(StepOutcome::kFailed, error);
  }

  StepOutcome Write(std::string_view bytes) override { return Done(WriteAll(copy_.get(), bytes)); }

  StepOutcome Flush() override { return Done(FlushFileBuffers(copy_.get())); }

  void Remove() override {
    copy_.reset();
    DeleteFileA(temporary_.c_str());
  }

  void WriteInPlace(std::string_view bytes) override {
    SetFileAttributesA(path().c_str(), FILE_ATTRIBUTE_NORMAL);
    const UniqueHandle file = OpenOrFail("write", path(), GENERIC_WRITE, OPEN_EXISTING);
    if (!WriteAll(file.get(), bytes) || !SetEndOfFile(file.get())) {
      FailFileStep("write", path(), GetLastError());
    }
    if (!FlushFileBuffers(file.get())) FailFileStep("flush", path(), GetLastError());
  }

 protected:
  using FileReplacement::Failed;
  StepOutcome Failed(StepOutcome outcome, DWORD error) {
    return Failed(outcome, SystemMessage(error));
  }
  StepOutcome Done(BOOL done) {
    return done ? StepOutcome::kDone : Failed(StepOutcome::kFailed, GetLastError());
  }

  // Renames the closed copy over the file, waiting for a holder of the file to let go.
  DWORD MoveIntoPlace() {
    copy_.reset();
    return RetryWhileBusy([&] {
      return MoveFileExA(temporary_.c_str(), path().c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    });
  }
  StepOutcome Moved(DWORD error, StepOutcome otherwise = StepOutcome::kFailed) {
    return error == ERROR_SUCCESS ? StepOutcome::kDone : Failed(otherwise, error);
  }

  UniqueHandle copy_;
  std::string temporary_;
};

// ReplaceKeepingRights: the hosts file.
class KeepingRights final : public Win32Replacement {
 public:
  using Win32Replacement::Win32Replacement;

  StepOutcome Examine(std::string& target) override {
    target = path();
    return StepOutcome::kDone;
  }

  StepOutcome GiveRights() override {
    copy_.reset();
    rights_carried_ = CarryAccessRights(path(), temporary_);
    return StepOutcome::kDone;
  }

  StepOutcome RenameOver() override {
    if (rights_carried_) return Moved(MoveIntoPlace());
    const DWORD error = RetryWhileBusy([&] {
      return ReplaceFileA(path().c_str(), temporary_.c_str(), nullptr,
                          REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
    });
    if (error != ERROR_UNABLE_TO_MOVE_REPLACEMENT) return Moved(error);
    // The file has gone and the copy is the only one: it takes the name, or stays.
    return Moved(MoveIntoPlace(), StepOutcome::kOnlyCopy);
  }

 private:
  bool rights_carried_ = false;
};

// ReplaceOwnFile: the backup.
class OwnFile final : public Win32Replacement {
 public:
  using Win32Replacement::Win32Replacement;

  StepOutcome Examine(std::string& target) override {
    target = path();
    const DWORD attributes = GetFileAttributesA(path().c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return StepOutcome::kDone;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      return Failed(StepOutcome::kFailed, "a link, not a regular file");
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return Failed(StepOutcome::kFailed, "not a regular file");
    }
    return StepOutcome::kDone;
  }

  StepOutcome GiveRights() override { return StepOutcome::kDone; }

  StepOutcome RenameOver() override {
    SetFileAttributesA(path().c_str(), FILE_ATTRIBUTE_NORMAL);
    return Moved(MoveIntoPlace());
  }
};

}  // namespace

void ReplaceKeepingRights(const std::string& path, std::string_view contents) {
  KeepingRights replacement(path);
  ReplaceAtomically(replacement, contents, InPlace::kAllowed);
}

void ReplaceOwnFile(const std::string& path, std::string_view contents) {
  OwnFile replacement(path);
  ReplaceAtomically(replacement, contents, InPlace::kNever);
}

}  // namespace tsl

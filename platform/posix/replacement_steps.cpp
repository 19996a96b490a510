#include "platform/posix/replacement_steps.h"

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/posix/posix_io.h"

namespace tsl {
namespace {

// A new file or a rename that the folder itself turns away, as opposed to data that did
// not fit or could not be written.
bool FolderRefusal(int error) {
  return error == EACCES || error == EPERM || error == EROFS || error == EBUSY || error == EXDEV;
}

// Gives the copy every extended attribute of `target` (POSIX ACLs, security labels,
// trusted and user attributes, file capabilities). False when one cannot be read or given.
bool CopyExtendedAttributes(const std::string& target, int copy) {
  ssize_t size = ::llistxattr(target.c_str(), nullptr, 0);
  if (size < 0) return errno == ENOTSUP;  // a file system without them
  std::vector<char> names(static_cast<size_t>(size));
  size = ::llistxattr(target.c_str(), names.data(), names.size());
  if (size < 0) return false;
  for (const char* name = names.data(); name < names.data() + size; name += std::strlen(name) + 1) {
    const ssize_t length = ::lgetxattr(target.c_str(), name, nullptr, 0);
    if (length < 0) return false;
    std::vector<char> value(static_cast<size_t>(length));
    const ssize_t got = ::lgetxattr(target.c_str(), name, value.data(), value.size());
    if (got < 0 || ::fsetxattr(copy, name, value.data(), static_cast<size_t>(got), 0) != 0) {
      return false;
    }
  }
  return true;
}

// The steps on descriptors; what the copy replaces and the rights it gets are each kind's.
class PosixReplacement : public FileReplacement {
 public:
  using FileReplacement::FileReplacement;

  StepOutcome Create(const std::string& temporary) override {
    temporary_ = temporary;
    copy_.reset(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                       S_IRUSR | S_IWUSR));
    if (copy_.valid()) return StepOutcome::kDone;
    if (errno == EEXIST) return Failed(StepOutcome::kNameTaken);
    return Failed(FolderRefusal(errno) ? StepOutcome::kInPlaceOnly : StepOutcome::kFailed);
  }

  StepOutcome Write(std::string_view bytes) override { return Done(WriteAll(copy_.get(), bytes)); }

  StepOutcome Flush() override { return Done(::fsync(copy_.get()) == 0); }

  // A journalling file system has the copy's rights on its disk no later than the rename;
  // the folder's own flush makes the rename itself stay.
  StepOutcome RenameOver() override {
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
      return Failed(FolderRefusal(errno) ? StepOutcome::kInPlaceOnly : StepOutcome::kFailed);
    }
    const UniqueFd folder(
        ::open(ParentFolder(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.valid()) ::fsync(folder.get());
    return StepOutcome::kDone;
  }

  void Remove() override { ::unlink(temporary_.c_str()); }

  void WriteInPlace(std::string_view bytes) override {
    const UniqueFd fd = OpenRegularFile(path(), O_WRONLY | O_CREAT | O_TRUNC);
    if (!fd.valid() || !WriteAll(fd.get(), bytes)) {
      throw FileError("write", path(), ErrorText(errno));
    }
    if (::fsync(fd.get()) != 0) throw FileError("flush", path(), ErrorText(errno));
  }

 protected:
  using FileReplacement::Failed;
  // Ends the step with errno's words.
  StepOutcome Failed(StepOutcome outcome) { return Failed(outcome, ErrorText(errno)); }
  StepOutcome Done(bool done) { return done ? StepOutcome::kDone : Failed(StepOutcome::kFailed); }

  std::string target_;
  UniqueFd copy_;

 private:
  std::string temporary_;
};

// ReplaceKeepingRights: the hosts file and the settings file.
class KeepingRights final : public PosixReplacement {
 public:
  using PosixReplacement::PosixReplacement;

  StepOutcome Examine(std::string& target) override {
    if (!FollowLinks(path(), target_)) return Failed(StepOutcome::kFailed);
    target = target_;
    exists_ = ::stat(target_.c_str(), &info_) == 0;
    if (!exists_) return errno == ENOENT ? StepOutcome::kDone : Failed(StepOutcome::kFailed);
    if (!S_ISREG(info_.st_mode)) return Failed(StepOutcome::kFailed, ErrorText(kNotRegularFile));
    // A copy would split the link: the other names would keep the old bytes.
    if (info_.st_nlink > 1) return Failed(StepOutcome::kInPlaceOnly, ErrorText(EMLINK));
    return StepOutcome::kDone;
  }

  // Owner first: a change of owner clears the set-user and set-group bits and file
  // capabilities. Mode before the extended attributes: the access ACL then sets the group
  // bits back to its mask.
  StepOutcome GiveRights() override {
    if (!exists_) return Done(::fchmod(copy_.get(), 0644) == 0);
    if ((info_.st_uid != ::geteuid() || info_.st_gid != ::getegid()) &&
        ::fchown(copy_.get(), info_.st_uid, info_.st_gid) != 0) {
      return Failed(StepOutcome::kInPlaceOnly);
    }
    if (::fchmod(copy_.get(), info_.st_mode & 07777) != 0) return Failed(StepOutcome::kFailed);
    if (!CopyExtendedAttributes(target_, copy_.get())) return Failed(StepOutcome::kInPlaceOnly);
    return StepOutcome::kDone;
  }

 private:
  struct stat info_ {};
  bool exists_ = false;
};

// ReplaceOwnFile: the backup.
class OwnFile final : public PosixReplacement {
 public:
  OwnFile(const std::string& path, mode_t mode) : PosixReplacement(path), mode_(mode) {}

  StepOutcome Examine(std::string& target) override {
    struct stat info {};
    if (::lstat(path().c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
      return Failed(StepOutcome::kFailed,
                    ErrorText(S_ISLNK(info.st_mode) ? kSymbolicLink : kNotRegularFile));
    }
    target = target_ = path();
    return StepOutcome::kDone;
  }

  StepOutcome GiveRights() override { return Done(::fchmod(copy_.get(), mode_) == 0); }

 private:
  mode_t mode_;
};

}  // namespace

void ReplaceKeepingRights(const std::string& path, std::string_view contents, InPlace in_place) {
  KeepingRights replacement(path);
  ReplaceAtomically(replacement, contents, in_place);
}

// The caller's own file, so that no one else may change what the caller reads back;
// readable by others only where `like` is.
void ReplaceOwnFile(const std::string& path, std::string_view contents, const struct stat& like) {
  mode_t mode = S_IRUSR | S_IWUSR;
  if ((like.st_mode & S_IROTH) != 0) {
    mode |= S_IRGRP | S_IROTH;
  } else if ((like.st_mode & S_IRGRP) != 0 && like.st_gid == ::getegid()) {
    mode |= S_IRGRP;
  }
  OwnFile replacement(path, mode);
  ReplaceAtomically(replacement, contents, InPlace::kNever);
}

}  // namespace tsl

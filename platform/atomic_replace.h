// Giving a file new bytes so that at every instant it holds its old bytes or the new ones: a
// copy beside it under a random temporary name (temporary_name.h) is written, flushed, given
// the rights of the file it replaces and renamed over it. The order of those steps and what
// each failure leads to are written once, in atomic_replace.cpp; each platform's half takes
// the steps themselves (platform/posix/replacement_steps.cpp,
// platform/win32/real_file_system.cpp).
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace tsl {

// How one step of a replacement ended.
enum class StepOutcome {
  kDone,
  kNameTaken,  // the temporary name is another file's already: another is drawn
  // The copy cannot take the file's place whole: the folder refuses the new file or the
  // rename, or the file has what a copy cannot be given. Nothing changed.
  kInPlaceOnly,
  kFailed,  // a write or flush failed (a full disk), or something stands where it may not
  // The file is gone and its copy, now the only one of it, could not take its name: the
  // copy stays where it is and the report names it.
  kOnlyCopy,
};

// Whether a file that a copy cannot replace whole gets the bytes written into it instead.
enum class InPlace { kAllowed, kNever };

// One replacement of the file `path()` names, as the platform takes each step.
class FileReplacement {
 public:
  explicit FileReplacement(std::string path) : path_(std::move(path)) {}
  virtual ~FileReplacement() = default;
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // The path as the caller gave it, which every report names.
  [[nodiscard]] const std::string& path() const { return path_; }

  // Looks at what stands at path() and gives the file that the copy will replace, beside
  // which it is made (on POSIX a symbolic link's target, which the link keeps pointing at).
  virtual StepOutcome Examine(std::string& target) = 0;
  // Creates the new file `temporary`, never one that is there already and never through a
  // link, open to the caller alone while it is written.
  virtual StepOutcome Create(const std::string& temporary) = 0;
  virtual StepOutcome Write(std::string_view bytes) = 0;
  // Puts every byte written on stable storage.
  virtual StepOutcome Flush() = 0;
  // Gives the copy the rights it is to have in the file's place.
  virtual StepOutcome GiveRights() = 0;
  // Renames the copy over the file, on stable storage before it returns.
  virtual StepOutcome RenameOver() = 0;
  // Removes the copy, after a step that did not end in kDone.
  virtual void Remove() = 0;
  // Only where InPlace::kAllowed: writes the bytes into the file itself. Throws FileError.
  virtual void WriteInPlace(std::string_view bytes) = 0;

  // The system's words for why the last step did not end in kDone.
  [[nodiscard]] const std::string& Reason() const { return reason_; }

 protected:
  // Ends a step that did not succeed, with the reason a report gives.
  StepOutcome Failed(StepOutcome outcome, std::string reason) {
    reason_ = std::move(reason);
    return outcome;
  }

 private:
  std::string path_;
  std::string reason_;
};

// Gives the file the bytes through a flushed copy that takes its place, or, where the copy
// cannot and `in_place` allows, in place. A failure leaves the file as it was and no copy
// behind (except kOnlyCopy's), and throws FileError naming path().
void ReplaceAtomically(FileReplacement& replacement, std::string_view contents, InPlace in_place);

}  // namespace tsl

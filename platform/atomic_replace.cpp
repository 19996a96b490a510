#include "platform/atomic_replace.h"

#include "platform/file_system.h"
#include "platform/temporary_name.h"

namespace tsl {
namespace {

// Sixteen random characters make a name taken already a sign of someone's guessing, not
// bad luck: a few draws, then a failure.
constexpr int kNameAttempts = 8;

// A new file of a random temporary name beside `target`.
StepOutcome CreateCopy(FileReplacement& replacement, const std::string& target,
                       std::string& temporary) {
  StepOutcome created = StepOutcome::kNameTaken;
  for (int attempt = 0; attempt < kNameAttempts && created == StepOutcome::kNameTaken; ++attempt) {
    if (!RandomTemporaryName(target, temporary)) {
      throw FileError("name a copy of", replacement.path(), "the system gave no random bytes");
    }
    created = replacement.Create(temporary);
  }
  return created;
}

// The steps that follow the copy's creation, in order, up to the first that does not end
// in kDone; `operation` is what a report calls that one. The rights are the last change
// before the rename, so that the copy is the caller's alone while its bytes are written.
StepOutcome CompleteCopy(FileReplacement& replacement, std::string_view contents,
                         const char*& operation) {
  operation = "write";
  StepOutcome outcome = replacement.Write(contents);
  if (outcome != StepOutcome::kDone) return outcome;
  operation = "flush";
  outcome = replacement.Flush();
  if (outcome != StepOutcome::kDone) return outcome;
  operation = "write";
  outcome = replacement.GiveRights();
  if (outcome != StepOutcome::kDone) return outcome;
  operation = "replace";
  return replacement.RenameOver();
}

}  // namespace

void ReplaceAtomically(FileReplacement& replacement, std::string_view contents, InPlace in_place) {
  const char* operation = "write";
  std::string target;
  std::string temporary;
  StepOutcome outcome = replacement.Examine(target);
  if (outcome == StepOutcome::kDone) outcome = CreateCopy(replacement, target, temporary);
  if (outcome == StepOutcome::kDone) {
    outcome = CompleteCopy(replacement, contents, operation);
    if (outcome == StepOutcome::kDone) return;
    if (outcome == StepOutcome::kOnlyCopy) {
      throw FileError(operation, replacement.path(),
                      replacement.Reason() + "; its new bytes are in \"" + temporary + "\"");
    }
    replacement.Remove();
  }
  if (outcome == StepOutcome::kInPlaceOnly && in_place == InPlace::kAllowed) {
    replacement.WriteInPlace(contents);
    return;
  }
  throw FileError(operation, replacement.path(), replacement.Reason());
}

}  // namespace tsl

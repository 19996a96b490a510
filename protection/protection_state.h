// Whether protection is on, from both things that say so: the recorded "Blocked" and the
// block section in the hosts file. Either alone can be wrong: another program may have
// cleaned the hosts file, or a "Blocked" write may not have stuck.
#pragma once

#include <string>
#include <string_view>

#include "protection/protection.h"

namespace tsl {

enum class ProtectionState {
  kNoHostsFile,             // start-up found no hosts file
  kOff,                     // "Blocked" is not "1", and nothing of ours blocks
  kRecordedWithoutSection,  // "Blocked" is "1", but no section of ours blocks
  kUnrecorded,              // "Blocked" is not "1", but a section of ours blocks
  kOn,                      // "Blocked" is "1" and a section of ours blocks
};

// Reads "Blocked" and the hosts files that may hold the section. Never a guess: a settings
// store or a hosts file that cannot be read throws (FileError, or the store's reason).
ProtectionState CurrentProtectionState(const Machine& machine, const std::string& hosts_file);

// For the window, which has no way to say "cannot tell": the state, or where the files
// cannot be read, the recorded one.
bool ProtectionSeemsOn(const Machine& machine, const std::string& hosts_file);

// A stable word for scripts: "on", "off", "section-missing", "unrecorded", "no-hosts-file".
std::string_view StateWord(ProtectionState state);

}  // namespace tsl

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
  kOff,                     // "Blocked" is not "1"
  kRecordedWithoutSection,  // "Blocked" is "1", but the hosts file holds no block section
  kOn,                      // "Blocked" is "1" and the hosts file holds a block section
};

// Reads "Blocked" and the hosts file (an unreadable hosts file counts as holding a
// section, so that the recorded state is trusted rather than a guess).
ProtectionState CurrentProtectionState(const Machine& machine, const std::string& hosts_file);

// A stable word for scripts: "on", "off", "section-missing", "no-hosts-file".
std::string_view StateWord(ProtectionState state);

}  // namespace tsl

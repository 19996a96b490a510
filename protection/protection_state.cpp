#include "protection/protection_state.h"

#include "protection/hosts_sections.h"

namespace tsl {

ProtectionState CurrentProtectionState(const Machine& machine, const std::string& hosts_file) {
  if (hosts_file.empty()) return ProtectionState::kNoHostsFile;
  if (RegistryGetString(machine.registry, kHkeyLocalMachine, kSettingsKey, kBlockedValue, "") !=
      "1") {
    return ProtectionState::kOff;
  }
  try {
    if (!HoldsBlockSection(machine.files.ReadWholeFile(hosts_file))) {
      return ProtectionState::kRecordedWithoutSection;
    }
  } catch (const FileError&) {
    // A hosts file that cannot be read now (held, too big) leaves the recorded state as it
    // stands; the operation that needs the file reports why it cannot have it.
  }
  return ProtectionState::kOn;
}

std::string_view StateWord(ProtectionState state) {
  switch (state) {
    case ProtectionState::kNoHostsFile:
      return "no-hosts-file";
    case ProtectionState::kOff:
      return "off";
    case ProtectionState::kRecordedWithoutSection:
      return "section-missing";
    case ProtectionState::kOn:
      return "on";
  }
  return "off";
}

}  // namespace tsl

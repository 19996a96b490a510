#include "protection/protection_state.h"

#include <stdexcept>

#include "protection/our_section.h"
#include "text/hosts_sections.h"

namespace tsl {
namespace {

bool Recorded(const Machine& machine) {
  return RegistryGetString(machine.registry, kHkeyLocalMachine, kSettingsKey, kBlockedValue, "") ==
         "1";
}

}  // namespace

ProtectionState CurrentProtectionState(const Machine& machine, const std::string& hosts_file) {
  if (hosts_file.empty()) return ProtectionState::kNoHostsFile;
  if (const std::optional<std::string> failure =
          machine.registry.ReadFailure(kHkeyLocalMachine, kSettingsKey)) {
    throw std::runtime_error(*failure);
  }
  const bool recorded = Recorded(machine);
  const OurSection ours = ReadOurSection(machine);
  bool blocking = false;
  for (const std::string& path : ours.HostsFiles(machine.files, hosts_file)) {
    blocking =
        blocking || TakeOutOurLines(machine.files.ReadWholeFile(path), ours.Source()).in_force;
  }
  if (recorded) return blocking ? ProtectionState::kOn : ProtectionState::kRecordedWithoutSection;
  return blocking ? ProtectionState::kUnrecorded : ProtectionState::kOff;
}

bool ProtectionSeemsOn(const Machine& machine, const std::string& hosts_file) {
  try {
    return CurrentProtectionState(machine, hosts_file) == ProtectionState::kOn;
  } catch (const std::exception&) {
    // A hosts file that cannot be read now (held, too big) leaves the recorded state as it
    // stands; the operation that needs the file reports why it cannot have it.
    return !hosts_file.empty() && Recorded(machine);
  }
}

std::string_view StateWord(ProtectionState state) {
  switch (state) {
    case ProtectionState::kNoHostsFile:
      return "no-hosts-file";
    case ProtectionState::kOff:
      return "off";
    case ProtectionState::kRecordedWithoutSection:
      return "section-missing";
    case ProtectionState::kUnrecorded:
      return "unrecorded";
    case ProtectionState::kOn:
      return "on";
  }
  return "off";
}

}  // namespace tsl

#include "ui/form_load.h"

#include "protection/hosts_file.h"
#include "protection/protection_state.h"
#include "protection/window_texts.h"
#include "resources/version.h"
#include "settings/registry.h"

namespace tsl {

std::string VersionText() {
  return std::to_string(TSL_VERSION_MAJOR) + "." + std::to_string(TSL_VERSION_MINOR) + "." +
         std::to_string(TSL_VERSION_REVISION);
}

void Form_Load(const Machine& machine, std::string& hosts_file, WindowParts& window) {
  const bool found = LocateHostsFile(machine.files, hosts_file);
  // "Blocked" = "1" alone is not believed: another program may have cleaned the hosts file.
  ShowStartUpState(machine, found, ProtectionSeemsOn(machine, hosts_file), window);
}

void ShowStartUpState(const Machine& machine, bool hosts_file_found, bool protection_on,
                      WindowParts& window) {
  if (hosts_file_found) {
    window.SetCaption(Label::Label3, std::string(kReadyToProtect));
    window.SetCommand2Enabled(true);
  }
  if (protection_on) {
    window.SetCaption(Label::Label3,
                      window.Caption(Label::Label3) + std::string(kAlreadyFunctioning));
    window.SetCommand2Enabled(false);
  }
  window.SetCaption(Label::Label1, std::string(kVersionCaption) + VersionText());
  window.SetCaption(Label::Label2, std::string(kServersCaption) +
                                       RegistryGetString(machine.registry, kHkeyLocalMachine,
                                                         kSettingsKey, kServersValue, ""));
}

}  // namespace tsl

// The main window's load event: the start-up status report.
#pragma once

#include <string>

#include "protection/protection.h"
#include "protection/window_parts.h"

namespace tsl {

// Finds the hosts file (leaving its path in hosts_file), reads the recorded state and
// writes the status, version and count captions and the activate button's state.
void Form_Load(const Machine& machine, std::string& hosts_file, WindowParts& window);

// Form_Load's captions and button for a start-up whose state is already known: whether the
// hosts file was found, and whether protection is on.
void ShowStartUpState(const Machine& machine, bool hosts_file_found, bool protection_on,
                      WindowParts& window);

// The version users see: major, minor and revision, dotted.
std::string VersionText();

}  // namespace tsl

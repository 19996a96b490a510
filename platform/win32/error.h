// The system's own words for a Win32 error code.
#pragma once

#include <windows.h>

#include <string>

namespace tsl {

// FormatMessage's text without its final full stop and line break; "error N" when the
// system has no text for the code.
std::string SystemMessage(DWORD error);

}  // namespace tsl

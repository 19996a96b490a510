// What the console program says besides the window's texts, and the failure report of both
// front ends, written once: the programs print them and the tests hold them to these.
#pragma once

#include <string_view>

namespace tsl {

// The second line of `status`: whether Activate is available.
inline constexpr std::string_view kActivateEnabled = "Activate: enabled";
inline constexpr std::string_view kActivateDisabled = "Activate: disabled";

// Why a command changed nothing; the second is followed by the window's status, which says
// why.
inline constexpr std::string_view kNothingToRefresh = "Protection is off; nothing to refresh.";
inline constexpr std::string_view kActivateNotAvailable = "Activate is not available: ";

// A failure that names no cause of its own.
inline constexpr std::string_view kUnexpectedFailure = "An unexpected failure ended Tessaline.";

}  // namespace tsl

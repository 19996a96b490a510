// The window's texts as it is created, before its load event rewrites them.
#pragma once

#include <string_view>

namespace tsl {

inline constexpr std::string_view kAppTitle = "Tessaline";

inline constexpr std::string_view kLabel1Created = "TSL Version:";
inline constexpr std::string_view kLabel2Created = "Blocking ## Tracking Servers";
inline constexpr std::string_view kLabel3Created =
    "TSL could not locate the file(s) it needs to activate protection. Please email "
    "support@tessaline.org for help.";

}  // namespace tsl

// Every text the window shows, written once: the console program prints the same captions,
// and the tests hold the program to these.
#pragma once

#include <string_view>

namespace tsl {

inline constexpr std::string_view kAppTitle = "Tessaline";

// As the window is created, before its load event rewrites them.
inline constexpr std::string_view kLabel1Created = "TSL Version:";
inline constexpr std::string_view kLabel2Created = "Blocking ## Tracking Servers";
inline constexpr std::string_view kLabel3Created =
    "TSL could not locate the file(s) it needs to activate protection. Please email "
    "support@tessaline.org for help.";

// The load event's report: the status when the hosts file is found, the sentence added to it
// when protection is already on, and the starts of the version and count captions.
inline constexpr std::string_view kReadyToProtect =
    "Your system has been analyzed and is ready to be protected.";
inline constexpr std::string_view kAlreadyFunctioning =
    " However, it appears that TSL is already functioning on this computer.";
inline constexpr std::string_view kVersionCaption = "TSL Version: ";
inline constexpr std::string_view kServersCaption = "Tracking servers blocked: ";

// What the operations report.
inline constexpr std::string_view kActivated = "Protection activated successfuly.";
inline constexpr std::string_view kDeactivated =
    "Protection turned-off successfuly. Your machine is now vulnerable to email bugs.";
inline constexpr std::string_view kNoBackup =
    "An error occured while trying to restore your settings. Back-up file not found or is "
    "corrupted.";

}  // namespace tsl

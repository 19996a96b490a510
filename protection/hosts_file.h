// Finding the hosts file of the running system.
#pragma once

#include <array>
#include <string>

#include "platform/file_system.h"

namespace tsl {

// The Windows directory, always ending in a separator (a drive root's is not doubled).
std::string WindowsFolder(const FileSystem& files);

// The places where a hosts file may lie, in the order they are looked at.
std::array<std::string, 2> HostsFileCandidates(const FileSystem& files);

// Looks for "system32\drivers\etc\hosts", then "hosts", in the Windows directory; a later
// hit replaces an earlier one in hosts_file. Returns whether either was found, leaving
// hosts_file as it was when neither was.
bool LocateHostsFile(const FileSystem& files, std::string& hosts_file);

// Throws FileError, saying where it looked, when start-up found no hosts file.
void RequireHostsFile(const FileSystem& files, const std::string& hosts_file);

}  // namespace tsl

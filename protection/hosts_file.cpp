#include "protection/hosts_file.h"

#include "platform/real_file_system.h"

namespace tsl {

std::string WindowsFolder(const FileSystem& files) {
  std::string folder = files.WindowsDirectory();
  if (folder.empty() || folder.back() != kPathSeparator) folder.push_back(kPathSeparator);
  return folder;
}

std::array<std::string, 2> HostsFileCandidates(const FileSystem& files) {
  const std::string sep(1, kPathSeparator);
  const std::string folder = WindowsFolder(files);
  return {folder + "system32" + sep + "drivers" + sep + "etc" + sep + "hosts", folder + "hosts"};
}

bool LocateHostsFile(const FileSystem& files, std::string& hosts_file) {
  bool found = false;
  for (std::string& candidate : HostsFileCandidates(files)) {
    if (files.FileExists(candidate)) {
      hosts_file = std::move(candidate);
      found = true;
    }
  }
  return found;
}

void RequireHostsFile(const FileSystem& files, const std::string& hosts_file) {
  if (!hosts_file.empty()) return;
  const std::array<std::string, 2> candidates = HostsFileCandidates(files);
  throw FileError("find the hosts file in", WindowsFolder(files),
                  "no hosts file was found at start-up (looked for \"" + candidates[0] +
                      "\" and \"" + candidates[1] + "\")");
}

}  // namespace tsl

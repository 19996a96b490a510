#include "protection/hosts_file.h"

#include <array>

#include "protection/real_file_system.h"

namespace tsl {

std::string WindowsFolder(const FileSystem& files) {
  std::string folder = files.WindowsDirectory();
  if (folder.empty() || folder.back() != kPathSeparator) folder.push_back(kPathSeparator);
  return folder;
}

bool LocateHostsFile(const FileSystem& files, std::string& hosts_file) {
  const std::string sep(1, kPathSeparator);
  const std::array<std::string, 2> candidates = {
      "system32" + sep + "drivers" + sep + "etc" + sep + "hosts",
      "hosts",
  };
  const std::string folder = WindowsFolder(files);
  bool found = false;
  for (const std::string& candidate : candidates) {
    std::string path = folder + candidate;
    if (files.FileExists(path)) {
      hosts_file = std::move(path);
      found = true;
    }
  }
  return found;
}

}  // namespace tsl

// The platform's own file system and facts, implemented in real_file_system.cpp of
// platform/posix/ or platform/win32/.
#pragma once

#include <string>

#include "platform/file_system.h"
#include "platform/path.h"

namespace tsl {

// GetWindowsDirectoryA on Windows; TESSALINE_WINDIR (default /etc) on POSIX.
std::string SystemWindowsDirectory();

// AppFolder: the directory of the running executable, with no final separator except at
// the root. Throws FileError when the platform cannot tell it whole: a guess would put the
// backup in some other folder.
std::string ExecutableFolder();

class RealFileSystem final : public FileSystem {
 public:
  explicit RealFileSystem(std::string windows_directory)
      : windows_directory_(std::move(windows_directory)) {}

  [[nodiscard]] std::string WindowsDirectory() const override { return windows_directory_; }
  [[nodiscard]] bool FileExists(const std::string& path) const override;
  [[nodiscard]] std::string ReadWholeFile(const std::string& path) const override;
  [[nodiscard]] std::string ReadOwnFile(const std::string& path) const override;
  void WriteFileOver(const std::string& path, std::string_view contents) override;
  void WriteCopyOf(const std::string& from, std::string_view contents,
                   const std::string& to) override;
  void RemoveTemporaryCopies(const std::string& path) override;
  void RemoveTemporaryCopiesIn(const std::string& folder,
                               const std::function<bool(std::string_view)>& of) override;
  void SetAttributesNormal(const std::string& path) override;
  [[nodiscard]] std::vector<std::string> FileNames(const std::string& folder) const override;
  void RemoveFile(const std::string& path) override;

 private:
  std::string windows_directory_;
};

}  // namespace tsl

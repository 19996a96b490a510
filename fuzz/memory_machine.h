// A machine held in memory for the fuzz properties: files and settings in maps, so that
// millions of operations run against the real core in a fuzzer's time. A step numbered
// fail_at fails as a run killed there would stop: every step is whole or not done.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/real_file_system.h"
#include "settings/registry.h"
#include "testsupport/fake_registries.h"

namespace tsl {

class MemoryFileSystem final : public FileSystem {
 public:
  std::map<std::string, std::string> files;
  long fail_at = -1;
  mutable long steps = 0;

  [[nodiscard]] std::string WindowsDirectory() const override { return "W"; }
  [[nodiscard]] bool FileExists(const std::string& path) const override {
    return files.count(path) != 0;
  }
  [[nodiscard]] std::string ReadWholeFile(const std::string& path) const override {
    Step("read", path);
    const auto found = files.find(path);
    if (found == files.end()) throw FileError("read", path, "not found");
    return found->second;
  }
  [[nodiscard]] std::string ReadOwnFile(const std::string& path) const override {
    return ReadWholeFile(path);
  }
  void WriteFileOver(const std::string& path, std::string_view contents) override {
    Step("write", path);
    files[path] = contents;
  }
  void WriteCopyOf(const std::string&, std::string_view contents, const std::string& to) override {
    Step("write", to);
    files[to] = contents;
  }
  // Every step is whole, so no run leaves a temporary copy.
  void RemoveTemporaryCopies(const std::string&) override {}
  void RemoveTemporaryCopiesIn(const std::string&,
                               const std::function<bool(std::string_view)>&) override {}
  void SetAttributesNormal(const std::string& path) override {
    Step("set the attributes of", path);
  }
  [[nodiscard]] std::vector<std::string> FileNames(const std::string& folder) const override {
    std::vector<std::string> names;
    const std::string prefix = folder + kPathSeparator;
    for (const auto& [path, bytes] : files) {
      if (path.compare(0, prefix.size(), prefix) == 0 &&
          path.find(kPathSeparator, prefix.size()) == std::string::npos) {
        names.push_back(path.substr(prefix.size()));
      }
    }
    return names;
  }
  void RemoveFile(const std::string& path) override {
    Step("remove", path);
    files.erase(path);
  }

 private:
  void Step(const char* operation, const std::string& path) const {
    if (steps++ == fail_at) throw FileError(operation, path, "killed");
  }
};

}  // namespace tsl

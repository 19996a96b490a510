#include "testsupport/test_support.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace tsl::testing {

namespace fs = std::filesystem;

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  const fs::path base = fs::temp_directory_path();
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const fs::path candidate = base / ("tessaline-test-" + std::to_string(std::random_device{}()) +
                                       "-" + std::to_string(counter++));
    if (fs::create_directory(candidate)) {
      path_ = candidate.string();
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string TempDir::Join(const std::string& relative) const {
  return (fs::path(path_) / fs::path(relative).make_preferred()).string();
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

bool PathExists(const std::string& path) { return fs::exists(path); }

std::string SectionOf(std::initializer_list<std::string_view> names) {
  std::string section = "\r\n#email snoop protection \r\n";
  for (const std::string_view name : names) section.append("127.0.0.1     ").append(name) += "\r\n";
  return section + "\r\n";
}

std::string Utf16Le(std::u16string_view text) {
  std::string bytes = "\xff\xfe";
  for (const char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

}  // namespace tsl::testing

namespace tsl::testing {

std::optional<RegistryValue> ScratchRegistry::Read(std::uint32_t root, std::string_view key,
                                                   std::string_view name) const {
  return hive_->Read(root, Redirect(key), name);
}

void ScratchRegistry::Write(std::uint32_t root, std::string_view key, std::string_view name,
                            const RegistryValue& value) {
  hive_->Write(root, Redirect(key), name, value);
}

}  // namespace tsl::testing

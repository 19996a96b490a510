#include "protection/backup_history.h"

#include <algorithm>
#include <string>
#include <vector>

#include "text/block_section.h"

namespace tsl {
namespace {

// Numbers are written with six digits at least, so that names sort as numbers do until
// the millionth copy; a number has 18 digits at most, which any 64-bit count holds.
constexpr size_t kNumberDigits = 6;
constexpr size_t kMostDigits = 18;

std::string HistoryPrefix() { return std::string(kHostsBackupName) + "."; }

unsigned long long HistoryNumber(std::string_view name) {
  return std::stoull(std::string(name.substr(HistoryPrefix().size())));
}

std::string HistoryName(unsigned long long number) {
  std::string digits = std::to_string(number);
  digits.insert(0, kNumberDigits - std::min(kNumberDigits, digits.size()), '0');
  return HistoryPrefix() + digits;
}

}  // namespace

bool IsBackupHistoryName(std::string_view name) {
  const std::string prefix = HistoryPrefix();
  if (name.substr(0, prefix.size()) != prefix) return false;
  const std::string_view digits = name.substr(prefix.size());
  return digits.size() >= kNumberDigits && digits.size() <= kMostDigits &&
         std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
         HistoryName(HistoryNumber(name)) == name;  // only names the history makes itself
}

bool KeepBackupBeforeReplacing(const Machine& machine, std::string_view replacement) {
  const std::string backup = machine.AppFile(kHostsBackupName);
  if (!machine.files.FileExists(backup)) return true;
  const std::string kept = machine.files.ReadOwnFile(backup);
  if (kept == replacement) return false;
  std::vector<unsigned long long> numbers;
  for (const std::string& name : machine.files.FileNames(machine.app_folder)) {
    if (IsBackupHistoryName(name)) numbers.push_back(HistoryNumber(name));
  }
  std::sort(numbers.begin(), numbers.end());
  const unsigned long long next = numbers.empty() ? 1 : numbers.back() + 1;
  machine.files.WriteCopyOf(backup, kept, machine.AppFile(HistoryName(next)));
  numbers.push_back(next);
  // The newest copies are the last ones.
  for (size_t old = 0; old + kBackupHistoryLength < numbers.size(); ++old) {
    machine.files.RemoveFile(machine.AppFile(HistoryName(numbers[old])));
  }
  return true;
}

}  // namespace tsl

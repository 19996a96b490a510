#include <iostream>
#include <string>

#include "platform/app_folder_trust.h"
#include "platform/console_output.h"
#include "platform/large_allocations.h"
#include "platform/real_file_system.h"
#include "ui/cli.h"

int main(int argc, char** argv) {
  tsl::PrepareConsoleOutput();
  tsl::GiveLargeBuffersTheirOwnPages();
  return tsl::ReportingFailures(std::cerr, [&] {
    const std::string app_folder = tsl::ExecutableFolder();
    tsl::RequireTrustedAppFolder(app_folder);
    tsl::RealFileSystem files(tsl::SystemWindowsDirectory());
    const auto registry = tsl::OpenSystemRegistry();
    const tsl::Machine machine{files, *registry, app_folder, tsl::kOperationLockWait,
                               tsl::SystemNameCache()};
    return tsl::RunCommand(std::vector<std::string>(argv + 1, argv + argc), machine, std::cout,
                           std::cerr);
  });
}

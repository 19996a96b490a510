#include <iostream>

#include "protection/real_file_system.h"
#include "ui/cli.h"

int main(int argc, char** argv) {
  try {
    tsl::RealFileSystem files(tsl::SystemWindowsDirectory());
    const auto registry = tsl::OpenSystemRegistry();
    const tsl::Machine machine{files, *registry, tsl::ExecutableFolder()};
    return tsl::RunCommand(std::vector<std::string>(argv + 1, argv + argc), machine, std::cout,
                           std::cerr);
  } catch (const tsl::FileError& failure) {
    std::cerr << "tessaline: " << failure.what() << '\n';
    return 1;
  }
}

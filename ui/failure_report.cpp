#include "ui/failure_report.h"

#include <exception>

#include "ui/program_texts.h"

namespace tsl {

std::string CurrentFailure() {
  try {
    throw;
  } catch (const std::exception& error) {
    return error.what();
  } catch (...) {
    return std::string(kUnexpectedFailure);
  }
}

}  // namespace tsl

#include "ui/failure_report.h"

#include <exception>

namespace tsl {

std::string CurrentFailure() {
  try {
    throw;
  } catch (const std::exception& error) {
    return error.what();
  } catch (...) {
    return "An unexpected failure ended Tessaline.";
  }
}

}  // namespace tsl

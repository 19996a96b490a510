// The failure report's text, the same in both front ends.
#pragma once

#include <string>

namespace tsl {

// What the exception being handled says. Call it only inside a catch block.
std::string CurrentFailure();

}  // namespace tsl

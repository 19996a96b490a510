// Functions looked up at run time: those a later Windows added, so that the program still
// starts on an earlier one, and those of a DLL loaded from System32 only.
#pragma once

#include <windows.h>

namespace tsl {

// The function `name` of `module` as a `Function` pointer; null when it has none.
template <typename Function>
Function ProcedureOf(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace tsl

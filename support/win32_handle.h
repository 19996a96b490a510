// An owner for kernel handles (files, processes, threads).
#pragma once

#include <windows.h>

#include "support/unique_resource.h"

namespace tsl {

struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle handle) { CloseHandle(handle); }
};
using UniqueHandle = UniqueResource<KernelHandleTraits>;

}  // namespace tsl

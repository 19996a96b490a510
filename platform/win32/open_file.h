// Opening and writing the files that a step works on, whoever else holds them for a moment
// or has planted a link in their place.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/win32/handle.h"

namespace tsl {

// A failed file step: a FileError naming the error of the call that failed, taken right
// after it.
[[noreturn]] void FailFileStep(const std::string& operation, const std::string& path, DWORD error);

// How a step opens a file that someone else may have placed: the link itself, not what it
// points to, so that a planted link is seen and refused.
enum class Links { kFollow, kRefuse };

// A file on disk and nothing else (a pipe, a console, a device; with Links::kRefuse also a
// link or junction), opened once any other process that holds it lets it in. Throws
// FileError.
UniqueHandle OpenOrFail(const std::string& operation, const std::string& path, DWORD access,
                        DWORD disposition, Links links = Links::kFollow);

// Every byte, in pieces a WriteFile call takes; false with the error for GetLastError.
bool WriteAll(HANDLE file, std::string_view bytes);

}  // namespace tsl

#include <windows.h>
#include <commctrl.h>

#include "protection/real_file_system.h"
#include "settings/registry.h"
#include "ui/win32/frm_main.h"

namespace {

// The program runs elevated: DLLs load from System32 only, never from the folder the
// executable was started in.
void RestrictDllSearch() {
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
  const auto set_default_dll_directories = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
      reinterpret_cast<void*>(GetProcAddress(kernel32, "SetDefaultDllDirectories")));
  if (set_default_dll_directories != nullptr) {
    set_default_dll_directories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int nShowCmd) {
  RestrictDllSearch();
  const INITCOMMONCONTROLSEX common_controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&common_controls);

  tsl::RealFileSystem files(tsl::SystemWindowsDirectory());
  const auto registry = tsl::OpenSystemRegistry();
  const tsl::Machine machine{files, *registry, tsl::ExecutableFolder()};
  tsl::FrmMain form(machine);
  if (!form.Create(hInstance, nShowCmd)) return 1;
  return tsl::RunMessageLoop(form);
}

#include <windows.h>
#include <commctrl.h>

#include "build_facts.h"
#include "protection/real_file_system.h"
#include "settings/registry.h"
#include "support/win32_handle.h"
#include "ui/captions.h"
#include "ui/failure_report.h"
#include "ui/win32/frm_main.h"

namespace {

template <typename Function>
Function ProcedureOf(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The program runs elevated: DLLs load from System32 only, never from the folder the
// executable was started in. The executable imports only DLLs the system always takes from
// System32; the common controls are loaded here, after the search is restricted.
void RestrictDllSearch() {
  const auto set_default_dll_directories = ProcedureOf<BOOL(WINAPI*)(DWORD)>(
      GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories");
  if (set_default_dll_directories != nullptr) {
    set_default_dll_directories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
}

// Common Controls 6 (as the manifest asks) for the buttons' look.
void InitCommonControls6() {
  const HMODULE comctl32 = LoadLibraryExA("comctl32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  const auto init =
      ProcedureOf<BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*)>(comctl32, "InitCommonControlsEx");
  const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
  if (init != nullptr) init(&classes);
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int nShowCmd) {
  RestrictDllSearch();
  InitCommonControls6();
  // Held while the program runs: the installer and uninstaller do not replace or remove it
  // under a running window.
  const tsl::UniqueNullableHandle running(CreateMutexA(nullptr, FALSE, TSL_RUNNING_MUTEX));

  tsl::RealFileSystem files(tsl::SystemWindowsDirectory());
  const auto registry = tsl::OpenSystemRegistry();
  std::string app_folder;
  try {
    app_folder = tsl::ExecutableFolder();
  } catch (...) {
    MessageBoxA(nullptr, tsl::CurrentFailure().c_str(), tsl::kAppTitle.data(),
                MB_OK | MB_ICONERROR);
    return 1;
  }
  const tsl::Machine machine{files, *registry, app_folder, tsl::kOperationLockWait,
                             tsl::SystemNameCache()};
  tsl::FrmMain form(machine);
  if (!form.Create(hInstance, nShowCmd)) return 1;
  return tsl::RunMessageLoop(form);
}

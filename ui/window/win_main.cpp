#include <windows.h>
#include <commctrl.h>

#include <optional>

#include "build_facts.h"
#include "platform/real_file_system.h"
#include "platform/win32/handle.h"
#include "platform/win32/procedure.h"
#include "protection/window_texts.h"
#include "settings/registry.h"
#include "ui/failure_report.h"
#include "ui/window/frm_main.h"

namespace {

// The program runs elevated: DLLs load from System32 only, never from the folder the
// executable was started in. The executable imports only DLLs the system always takes from
// System32; the common controls are loaded here, after the search is restricted.
void RestrictDllSearch() {
  const auto set_default_dll_directories = tsl::ProcedureOf<BOOL(WINAPI*)(DWORD)>(
      GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories");
  if (set_default_dll_directories != nullptr) {
    set_default_dll_directories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
}

// Common Controls 6 (as the manifest asks) for the buttons' look.
void InitCommonControls6() {
  const HMODULE comctl32 = LoadLibraryExA("comctl32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  const auto init = tsl::ProcedureOf<BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*)>(
      comctl32, "InitCommonControlsEx");
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
  std::optional<tsl::Machine> machine;
  try {
    machine.emplace(tsl::Machine{files, *registry, tsl::ExecutableFolder(), tsl::kOperationLockWait,
                                 tsl::SystemNameCache()});
  } catch (...) {
    MessageBoxA(nullptr, tsl::CurrentFailure().c_str(), tsl::kAppTitle.data(),
                MB_OK | MB_ICONERROR);
    return 1;
  }
  tsl::FrmMain form(*machine);
  if (!form.Create(hInstance, nShowCmd)) return 1;
  return tsl::RunMessageLoop(form);
}

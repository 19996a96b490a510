// The Windows Installer package's deferred actions. Each runs the installed console program,
// which makes every change to the hosts file under its lock, and passes what it printed on
// to the installer's log: Windows Installer, running a program itself, would log only its
// exit status, and a refused removal must say why. CustomActionData holds the install
// folder, with its closing backslash.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <string>

#include "platform/file_system.h"
#include "platform/lock_file.h"
#include "platform/win32/error.h"
#include "platform/win32/handle.h"
#include "settings/registry.h"

namespace tsl {
namespace {

struct MsiHandleTraits {
  using Handle = MSIHANDLE;
  static Handle Invalid() { return 0; }
  static void Close(Handle handle) { MsiCloseHandle(handle); }
};
using UniqueMsiHandle = UniqueResource<MsiHandleTraits>;

// One line in the installer's log; an error is also shown when the installation has a UI.
void Report(MSIHANDLE install, INSTALLMESSAGE kind, const std::string& text) {
  const UniqueMsiHandle record(MsiCreateRecord(1));
  // The text goes in a field, so that brackets in it are never read as properties.
  MsiRecordSetStringA(record.get(), 0, "Tessaline: [1]");
  MsiRecordSetStringA(record.get(), 1, text.c_str());
  MsiProcessMessage(install, kind, record.get());
}

struct Run {
  DWORD status;
  std::string output;  // stdout and stderr, as the program wrote them, without the last line end
};

Run RunConsoleProgram(const std::wstring& folder, const wchar_t* command) {
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &inheritable, 0)) {
    return {ERROR_INSTALL_FAILURE, "cannot make a pipe: " + SystemMessage(GetLastError())};
  }
  const UniqueHandle reader(read_end);
  UniqueHandle writer(write_end);
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = write_end;
  startup.hStdError = write_end;
  std::wstring command_line = L"\"" + folder + L"tessaline-cli.exe\" " + command;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                      nullptr, folder.c_str(), &startup, &process)) {
    return {ERROR_INSTALL_FAILURE,
            "cannot start tessaline-cli.exe: " + SystemMessage(GetLastError())};
  }
  const UniqueHandle process_handle(process.hProcess);
  const UniqueHandle thread_handle(process.hThread);
  writer.reset();  // the program's copy is then the last: reading ends when it does
  Run run{ERROR_INSTALL_FAILURE, ""};
  char chunk[512];
  DWORD got = 0;
  while (ReadFile(reader.get(), chunk, sizeof chunk, &got, nullptr) && got > 0) {
    run.output.append(chunk, got);
  }
  WaitForSingleObject(process_handle.get(), INFINITE);
  GetExitCodeProcess(process_handle.get(), &run.status);
  while (!run.output.empty() && (run.output.back() == '\n' || run.output.back() == '\r')) {
    run.output.pop_back();
  }
  return run;
}

// Runs one command of the console program for a deferred action and logs what it said.
class Action {
 public:
  explicit Action(MSIHANDLE install) : install_(install) {
    DWORD length = 0;
    wchar_t empty[1] = L"";
    MsiGetPropertyW(install, L"CustomActionData", empty, &length);
    folder_.resize(length + 1);
    length = static_cast<DWORD>(folder_.size());
    MsiGetPropertyW(install, L"CustomActionData", folder_.data(), &length);
    folder_.resize(length);
  }

  Run Cli(const wchar_t* command) const {
    Run run = RunConsoleProgram(folder_, command);
    std::string name;
    for (const wchar_t* c = command; *c != 0; ++c) name += static_cast<char>(*c);
    Report(install_, INSTALLMESSAGE_INFO,
           "tessaline-cli.exe " + name + " ended with " + std::to_string(run.status) + ": " +
               run.output);
    return run;
  }

  [[nodiscard]] const std::wstring& folder() const { return folder_; }

  // A failed step fails the installation (1603), which then rolls back.
  UINT Fail(const std::string& what, const Run& run) const {
    Report(install_, INSTALLMESSAGE_ERROR, what + ": " + run.output);
    return ERROR_INSTALL_FAILURE;
  }

 private:
  MSIHANDLE install_;
  std::wstring folder_;
};

// `state` answers with a word and status 0 or 4; any other status is a failure to find out.
bool Answered(const Run& state) { return state.status == 0 || state.status == 4; }

}  // namespace
}  // namespace tsl

// Every install and upgrade: while protection is on, the installed list is blocked at once.
extern "C" __declspec(dllexport) UINT __stdcall RefreshProtection(MSIHANDLE install) {
  const tsl::Action action(install);
  const tsl::Run refresh = action.Cli(L"refresh");
  if (refresh.status == 0 || refresh.status == 4) return ERROR_SUCCESS;
  return action.Fail("could not block the servers of the installed list", refresh);
}

// ACTIVATE=1: protection on, its section made anew when it already was.
extern "C" __declspec(dllexport) UINT __stdcall TurnProtectionOn(MSIHANDLE install) {
  const tsl::Action action(install);
  const tsl::Run state = action.Cli(L"state");
  if (!tsl::Answered(state)) return action.Fail("could not turn protection on", state);
  const tsl::Run run = action.Cli(state.status == 0 ? L"refresh" : L"activate");
  if (run.status == 0) return ERROR_SUCCESS;
  return action.Fail("could not turn protection on", run);
}

// Removal: whatever the settings say, entries of ours in force are taken back first; a
// removal that cannot do so removes nothing.
extern "C" __declspec(dllexport) UINT __stdcall TakeProtectionBack(MSIHANDLE install) {
  const tsl::Action action(install);
  const tsl::Run state = action.Cli(L"state");
  if (!tsl::Answered(state)) {
    return action.Fail("could not tell whether protection is on; nothing was removed", state);
  }
  if (state.output != "on" && state.output != "unrecorded") return ERROR_SUCCESS;
  const tsl::Run deactivate = action.Cli(L"deactivate");
  if (deactivate.status == 0) return ERROR_SUCCESS;
  return action.Fail("could not take the block section out of the hosts file; nothing was removed",
                     deactivate);
}

// The last step of a removal (never of a major upgrade's): Tessaline's bookkeeping goes with
// the programs -- host.sec, the backup history,
// the settings key and the machine's lock. host.bak stays: it is the hosts file as it was
// before protection, which may be the only copy left.
extern "C" __declspec(dllexport) UINT __stdcall ForgetProtection(MSIHANDLE install) {
  const std::wstring folder = tsl::Action(install).folder();
  DeleteFileW((folder + L"host.sec").c_str());
  WIN32_FIND_DATAW found;
  const tsl::UniqueFindHandle search(FindFirstFileW((folder + L"host.bak.*").c_str(), &found));
  for (bool more = search.valid(); more; more = FindNextFileW(search.get(), &found) != 0) {
    // The pattern also matches host.bak itself, which stays.
    const std::wstring name = found.cFileName;
    const std::size_t digits = name.find_first_not_of(L"0123456789", 9);
    if (name.size() >= 15 && digits == std::wstring::npos) {
      DeleteFileW((folder + found.cFileName).c_str());
    }
  }
  RemoveDirectoryW(folder.c_str());  // only when empty: host.bak keeps it
  // The settings key, then its maker's key when nothing else is left in it.
  const std::string settings_key(tsl::kSettingsKey);
  RegDeleteKeyExA(HKEY_LOCAL_MACHINE, settings_key.c_str(), KEY_WOW64_64KEY, 0);
  RegDeleteKeyExA(HKEY_LOCAL_MACHINE, settings_key.substr(0, settings_key.rfind('\\')).c_str(),
                  KEY_WOW64_64KEY, 0);
  try {
    const std::string lock = tsl::SystemLockPath();
    DeleteFileA(lock.c_str());
    RemoveDirectoryA(lock.substr(0, lock.rfind('\\')).c_str());
  } catch (const tsl::FileError&) {
    // No program data folder: no lock either.
  }
  return ERROR_SUCCESS;
}

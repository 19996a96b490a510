; The Tessaline installer. Defines passed by the build: VERSION (major.minor.revision) and
; FILE_VERSION (all four numbers), both from resources/version.h; RUNNING_MUTEX, the mutex
; the program holds while it runs; SETUP_MUTEX, the one this installer and its uninstaller
; hold; SETTINGS_KEY and SERVERS_VALUE, the programs' settings key and its block-list count
; (settings/registry.h), and MAKER_KEY, the key that holds it; LOCK_FOLDER and LOCK_NAME,
; the operation lock's folder in the program data folder and its file (platform/lock_file.h);
; UNINSTALL_KEY, the Add/Remove entry; SIGN, the signing script; PROGRAM and CLI_PROGRAM (the
; window and console programs, already signed), BLOCK_LIST, README, LICENSE, ICON, OUTFILE.
; Exit statuses: 0 done; 2 folder refused (outside Program Files, or on an upgrade another
; folder than the installed one); 3 uninstall cancelled at the no-backup question; 4 the
; program is running; 5 installed, but protection could not be turned on (or its block list
; refreshed); 6 the uninstaller could not take the block section back, or could not tell
; whether it is there; nothing was removed.
; servers.nsh defines SERVERS, the number of entries of data.dat.
; A 64-bit installer for the 64-bit program: it sees the 64-bit registry and Program Files
; and the real System32 without redirection.
Target amd64-unicode
SetCompressor /SOLID lzma
; The same installer from the same sources: no build times inside it.
SetDateSave off
; The uninstaller and the installer are signed as they are written (scripts/sign, which
; signs only when the release is given a key).
!uninstfinalize '"${SIGN}" "%1"'
!finalize '"${SIGN}" "%1"'

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "TextFunc.nsh"
!include "servers.nsh"
!include "msi_guard.nsh"

!define PRODUCT "Tessaline"
!define COMPANY "Orrindale"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
InstallDir "$PROGRAMFILES64\${PRODUCT}"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${FILE_VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${COMPANY}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (c) 2026 ${COMPANY}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
; No directory page: the program runs elevated and writes data.dat into the hosts file, so
; it lives only where only administrators can write, below Program Files.
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MUI_PAGE_INSTFILES
; The finish page acts on its first check box before its second: the first turns protection
; on, as /ACTIVATE does, so that the window, started by the second, opens on protection as
; it then is.
!define MUI_FINISHPAGE_RUN ""
!define MUI_FINISHPAGE_RUN_NOTCHECKED
!define MUI_FINISHPAGE_RUN_TEXT "Turn protection on"
!define MUI_FINISHPAGE_RUN_FUNCTION TurnProtectionOn
!define MUI_FINISHPAGE_SHOWREADME ""
!define MUI_FINISHPAGE_SHOWREADME_TEXT "&Run ${PRODUCT}"
!define MUI_FINISHPAGE_SHOWREADME_FUNCTION StartProgram
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Ends the installer or uninstaller, with status 4, while the program runs.
!macro RefuseWhileRunning
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${RUNNING_MUTEX}") p .r0'
  ${If} $0 P<> 0
    System::Call 'kernel32::CloseHandle(p r0)'
    MessageBox MB_ICONSTOP "${PRODUCT} is running. Close it, then try again." /SD IDOK
    SetErrorLevel 4
    Quit
  ${EndIf}
!macroend

; One setup program or uninstaller at a time on the machine: a second one waits until the
; first has ended (the mutex goes with its process), so that two never write the same files
; at once; it then finds the first one's work.
!macro WaitForOtherSetup
  System::Call 'kernel32::CreateMutexW(p 0, i 0, w "${SETUP_MUTEX}") p .r0'
  System::Call 'kernel32::WaitForSingleObject(p r0, i -1)'
!macroend

; Runs the console program with one command; leaves its exit status in $0 and what it
; printed in $1. Every change to the hosts file goes through it, under its lock.
!macro RunConsoleProgram command
  nsExec::ExecToStack '"$INSTDIR\tessaline-cli.exe" ${command}'
  Pop $0
  Pop $1
!macroend

; The console program's `state`: its status in $0; in $1 its word (on, off, unrecorded,
; section-missing, no-hosts-file) or, with status 1, the line that says why it cannot tell.
!macro ProtectionState
  !insertmacro RunConsoleProgram state
  ${TrimNewLines} $1 $1
!macroend

; Turns protection on through the console program; when it is already on, the section is
; made anew from the installed block list. A failure leaves the program installed and makes
; the installer's status 5.
Function TurnProtectionOn
  !insertmacro RunConsoleProgram state
  ${If} $0 == 0
    !insertmacro RunConsoleProgram refresh
  ${Else}
    !insertmacro RunConsoleProgram activate
    ; Another activation (a second install at the same time, the window) may have come
    ; between the question and this one and made it refuse: protection on when we finish is
    ; what was asked for.
    ${If} $0 != 0
      StrCpy $2 $1
      !insertmacro ProtectionState
      StrCpy $1 $2
    ${EndIf}
  ${EndIf}
  ${If} $0 != 0
    MessageBox MB_ICONEXCLAMATION "${PRODUCT} is installed, but could not turn protection \
        on: $1" /SD IDOK
    SetErrorLevel 5
  ${EndIf}
FunctionEnd

Function StartProgram
  Exec '"$INSTDIR\tessaline.exe"'
FunctionEnd

; The whole form of the path in $R0, without a trailing separator, left in $R0; "" when it
; has none.
Function WholePath
  System::Call 'kernel32::GetFullPathNameW(w R0, i ${NSIS_MAX_STRLEN}, w .R1, p 0) i .R2'
  ${If} $R2 == 0
    StrCpy $R0 ""
    Return
  ${EndIf}
  StrCpy $R0 $R1
  StrCpy $R1 $R0 1 -1
  ${If} $R1 == "\"
    StrCpy $R0 $R0 -1
  ${EndIf}
FunctionEnd

Var Activate

Function .onInit
  SetRegView 64
  !insertmacro WaitForOtherSetup
  !insertmacro RefuseWhileRunning
  !insertmacro RefuseBesideTheMsiProduct
  ; /ACTIVATE: turn protection on once installed.
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/ACTIVATE" $1
  ${IfNot} ${Errors}
    StrCpy $Activate 1
  ${EndIf}
  ; The folder asked for, made whole first, so that ".." cannot lead out.
  StrCpy $R0 $INSTDIR
  Call WholePath
  ; An upgrade goes where the earlier version is; /D= naming another folder is refused
  ; rather than ignored.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
    ${If} $INSTDIR != "$PROGRAMFILES64\${PRODUCT}"
    ${AndIf} $R0 != $0
      MessageBox MB_ICONSTOP "${PRODUCT} is installed in $0 and is upgraded there, not in \
          $INSTDIR." /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
    StrCpy $R0 $0
    Call WholePath
  ${EndIf}
  ; Below Program Files only, where users may read and run but not write: a folder they can
  ; write would let any of them choose the lines the elevated program puts into the hosts
  ; file.
  StrLen $3 "$PROGRAMFILES64\"
  StrCpy $4 $R0 $3
  ${If} $R0 == ""
  ${OrIf} $4 != "$PROGRAMFILES64\"
    MessageBox MB_ICONSTOP "${PRODUCT} installs only below $PROGRAMFILES64, where only \
        administrators can write; $INSTDIR is not." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  StrCpy $INSTDIR $R0
FunctionEnd

Section "Tessaline"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  ; The programs, the block list and the papers; an earlier "Blocked" and host.bak stay.
  File "/oname=tessaline.exe" "${PROGRAM}"
  File "/oname=tessaline-cli.exe" "${CLI_PROGRAM}"
  File "/oname=data.dat" "${BLOCK_LIST}"
  File "/oname=README.md" "${README}"
  File "/oname=LICENSE.txt" "${LICENSE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "${SETTINGS_KEY}" "${SERVERS_VALUE}" "${SERVERS}"

  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\tessaline.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tessaline.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  ; Run where it lies (_?=), the uninstaller ends when it is done, with its own status, which
  ; is what the tools that run this command (winget, Intune) wait for.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" \
      '"$INSTDIR\uninstall.exe" /S _?=$INSTDIR'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

  ; An upgrade while protection is on blocks the new list at once; protection that is off
  ; (status 4) stays off.
  !insertmacro RunConsoleProgram refresh
  ${If} $0 != 0
  ${AndIf} $0 != 4
    MessageBox MB_ICONEXCLAMATION "${PRODUCT} is installed, but could not block the servers \
        of its new list: $1" /SD IDOK
    SetErrorLevel 5
  ${ElseIf} $Activate == 1
    Call TurnProtectionOn
  ${EndIf}
SectionEnd

; The uninstaller, run where it lies, cannot delete its own file while it runs: a copy of it
; in a folder of its own, started with /AFTER=<process number>, waits for it to end, then
; deletes it and the install folder. The copy's own file goes at the next start of Windows.
Function un.RemoveWhenEnded
  GetTempFileName $0
  Delete $0
  CreateDirectory $0
  CopyFiles /SILENT "$EXEPATH" "$0\uninstall.exe"
  System::Call 'kernel32::GetCurrentProcessId() i .r1'
  Exec '"$0\uninstall.exe" /S /AFTER=$1 _?=$INSTDIR'
FunctionEnd

Function un.onInit
  SetRegView 64
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/AFTER=" $1
  ${IfNot} ${Errors}
    System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i $1) p .r2'
    ${If} $2 P<> 0
      System::Call 'kernel32::WaitForSingleObject(p r2, i -1)'
      System::Call 'kernel32::CloseHandle(p r2)'
    ${EndIf}
    ; A setup program started as the uninstaller ended may have installed here anew: its
    ; uninstaller and folder stay.
    !insertmacro WaitForOtherSetup
    ReadRegStr $3 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $3 == ""
      Delete "$INSTDIR\uninstall.exe"
      RMDir "$INSTDIR"
    ${EndIf}
    Delete /REBOOTOK "$EXEPATH"
    RMDir /REBOOTOK "$EXEDIR"
    Quit
  ${EndIf}
  !insertmacro WaitForOtherSetup
  !insertmacro RefuseWhileRunning
FunctionEnd

; Ends the uninstaller with status 6, saying why, before anything is removed.
!macro RefuseRemoval cause
  MessageBox MB_ICONSTOP "${cause}$\r$\n$\r$\nNothing was removed." /SD IDOK
  SetErrorLevel 6
  Quit
!macroend

; Takes the block section out of the hosts file through the console program, under the
; machine's lock, as the window would. $R9 becomes 1 when the hosts file then holds nothing
; of ours, the one case in which host.bak may go.
Function un.Deactivate
  !insertmacro RunConsoleProgram deactivate
  ${If} $0 == 3
    ; No host.bak: the user decides, Cancel first; a silent uninstall leaves everything as
    ; it is.
    ${If} ${Cmd} `MessageBox MB_OKCANCEL|MB_DEFBUTTON2|MB_ICONEXCLAMATION "Protection is on, \
        but there is no backup of the hosts file ($INSTDIR\host.bak) to restore it from. If \
        you uninstall now, the block section stays in the hosts file until you remove it by \
        hand.$\r$\n$\r$\nUninstall anyway?" /SD IDCANCEL IDCANCEL`
      SetErrorLevel 3
      Quit
    ${EndIf}
    Return
  ${EndIf}
  ${If} $0 != 0
    !insertmacro RefuseRemoval "Could not take the block section out of the hosts file: $1"
  ${EndIf}
  !insertmacro ProtectionState
  ${If} $1 != "off"
    !insertmacro RefuseRemoval "The block section was taken out of the hosts file, but \
        ${PRODUCT} then reported: $1"
  ${EndIf}
  StrCpy $R9 1
FunctionEnd

; Removes the history of earlier backups (host.bak.000001 and on) and the temporary copies
; a killed run left of host.bak or of them: older copies beside a removed program that no
; one would look for. host.bak itself is left to the caller.
Function un.RemoveBackupHistory
  FindFirst $0 $1 "$INSTDIR\host.bak.*"
  ${DoWhile} $1 != ""
    ${If} $1 != "host.bak"
      Delete "$INSTDIR\$1"
    ${EndIf}
    FindNext $0 $1
  ${Loop}
  FindClose $0
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  ; Removing the program never leaves the block section behind with no way back: whatever
  ; "Blocked" says, while the console program finds entries of ours in force in the hosts
  ; file, it takes them out first.
  StrCpy $R9 0
  !insertmacro ProtectionState
  ${If} $1 == "on"
  ${OrIf} $1 == "unrecorded"
    Call un.Deactivate
  ${ElseIf} $1 != "off"
  ${AndIf} $1 != "section-missing"
  ${AndIf} $1 != "no-hosts-file"
    !insertmacro RefuseRemoval "Could not tell whether the hosts file holds a block section of \
        ${PRODUCT}: $1"
  ${EndIf}

  Delete "$INSTDIR\tessaline.exe"
  Delete "$INSTDIR\tessaline-cli.exe"
  Delete "$INSTDIR\data.dat"
  Delete "$INSTDIR\README.md"
  Delete "$INSTDIR\LICENSE.txt"
  ; The record of the section the program wrote is its own bookkeeping.
  Delete "$INSTDIR\host.sec"
  Delete "$INSTDIR\host.sec.tsl-*"
  Call un.RemoveBackupHistory
  ; host.bak stays unless this uninstall took the section out: it may be the only copy of
  ; the hosts file from before the section.
  ${If} $R9 == 1
    Delete "$INSTDIR\host.bak"
  ${EndIf}
  Delete "$INSTDIR\uninstall.exe"
  SetOutPath "$TEMP"
  RMDir "$INSTDIR"
  ${If} ${FileExists} "$INSTDIR\uninstall.exe"
    Call un.RemoveWhenEnded
  ${EndIf}
  ; The machine's operation lock, in the program data folder (all users' $APPDATA).
  Delete "$APPDATA\${LOCK_FOLDER}\${LOCK_NAME}"
  RMDir "$APPDATA\${LOCK_FOLDER}"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"

  DeleteRegKey HKLM "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKLM "${MAKER_KEY}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"  ; last: its going says the uninstall is done
SectionEnd

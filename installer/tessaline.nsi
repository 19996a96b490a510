; The Tessaline installer. Defines passed by the build: VERSION (major.minor.revision) and
; FILE_VERSION (all four numbers), both from resources/version.h; RUNNING_MUTEX, the mutex
; the program holds while it runs; SIGN, the signing script; PROGRAM and CLI_PROGRAM (the
; window and console programs, already signed), BLOCK_LIST, README, LICENSE, ICON, OUTFILE.
; Exit statuses: 0 done; 2 folder refused; 3 uninstall cancelled at the no-backup question;
; 4 the program is running; 5 installed, but protection could not be turned on (or its
; block list refreshed); 6 the uninstaller could not take the block section back, nothing
; was removed.
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
!include "servers.nsh"
!include "msi_guard.nsh"

!define PRODUCT "Tessaline"
!define COMPANY "Orrindale"
!define SETTINGS_KEY "SOFTWARE\Orrindale\TSL"
!define UNINSTALL_KEY "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Tessaline"

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
!define MUI_FINISHPAGE_RUN "$INSTDIR\tessaline.exe"
; The finish page's second check box turns protection on, as /ACTIVATE does.
!define MUI_FINISHPAGE_SHOWREADME ""
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Turn protection on"
!define MUI_FINISHPAGE_SHOWREADME_FUNCTION TurnProtectionOn
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

; Runs the console program with one command; leaves its exit status in $0 and what it
; printed in $1. Every change to the hosts file goes through it, under its lock.
!macro RunConsoleProgram command
  nsExec::ExecToStack '"$INSTDIR\tessaline-cli.exe" ${command}'
  Pop $0
  Pop $1
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
  ${EndIf}
  ${If} $0 != 0
    MessageBox MB_ICONEXCLAMATION "${PRODUCT} is installed, but could not turn protection \
        on: $1" /SD IDOK
    SetErrorLevel 5
  ${EndIf}
FunctionEnd

Var Activate

Function .onInit
  SetRegView 64
  !insertmacro RefuseWhileRunning
  !insertmacro RefuseBesideTheMsiProduct
  ; /ACTIVATE: turn protection on once installed.
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/ACTIVATE" $1
  ${IfNot} ${Errors}
    StrCpy $Activate 1
  ${EndIf}
  ; An upgrade goes where the earlier version is.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
    StrCpy $INSTDIR $0
  ${EndIf}
  ; Below Program Files only, where users may read and run but not write: a folder they can
  ; write would let any of them choose the lines the elevated program puts into the hosts
  ; file. The path is made whole first, so that ".." cannot lead out.
  System::Call 'kernel32::GetFullPathNameW(w "$INSTDIR", i ${NSIS_MAX_STRLEN}, w .r1, p 0) i .r2'
  StrLen $3 "$PROGRAMFILES64\"
  StrCpy $4 $1 $3
  ${If} $2 == 0
  ${OrIf} $4 != "$PROGRAMFILES64\"
    MessageBox MB_ICONSTOP "${PRODUCT} installs only below $PROGRAMFILES64, where only \
        administrators can write; $INSTDIR is not." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  StrCpy $INSTDIR $1
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

  WriteRegStr HKLM "${SETTINGS_KEY}" "Servers" "${SERVERS}"

  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\tessaline.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tessaline.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
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

Function un.onInit
  SetRegView 64
  !insertmacro RefuseWhileRunning
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  ; Removing the program never leaves the block section behind with no way back: while
  ; protection is on, the console program deactivates it first, as the window would.
  StrCpy $R9 0
  ReadRegStr $0 HKLM "${SETTINGS_KEY}" "Blocked"
  ; Protection is on with nothing to restore it from: the user decides; a silent uninstall
  ; leaves everything as it is.
  ${If} $0 == "1"
  ${AndIfNot} ${FileExists} "$INSTDIR\host.bak"
    MessageBox MB_OKCANCEL|MB_ICONEXCLAMATION "Protection is on, but there is no backup of \
        the hosts file ($INSTDIR\host.bak) to restore it from. If you uninstall now, the \
        block section stays in the hosts file until you remove it by hand.$\r$\n$\r$\n\
        Uninstall anyway?" /SD IDCANCEL IDOK keep_section
    SetErrorLevel 3
    Quit
    keep_section:
  ${EndIf}
  ${If} $0 == "1"
  ${AndIf} ${FileExists} "$INSTDIR\host.bak"
    !insertmacro RunConsoleProgram deactivate
    ${If} $0 != 0
      MessageBox MB_ICONSTOP "Could not take the block section out of the hosts file: $1\
          Nothing was removed." /SD IDOK
      SetErrorLevel 6
      Quit
    ${EndIf}
    StrCpy $R9 1
  ${EndIf}

  Delete "$INSTDIR\tessaline.exe"
  Delete "$INSTDIR\tessaline-cli.exe"
  Delete "$INSTDIR\data.dat"
  Delete "$INSTDIR\README.md"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  ; A backup that was not just restored may be the only copy of the user's hosts file.
  ${If} $R9 == 1
    Delete "$INSTDIR\host.bak"
  ${EndIf}
  RMDir "$INSTDIR"
  ; The machine's operation lock, in the program data folder.
  Delete "$APPDATA\${PRODUCT}\tessaline.lock"
  RMDir "$APPDATA\${PRODUCT}"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"

  DeleteRegKey HKLM "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKLM "SOFTWARE\Orrindale"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"  ; last: its going says the uninstall is done
SectionEnd

; The Tessaline installer. Defines passed by the build: VERSION (major.minor.revision) and
; FILE_VERSION (all four numbers), both from resources/version.h; RUNNING_MUTEX, the mutex
; the program holds while it runs; SIGN, the signing script; PROGRAM (already signed),
; BLOCK_LIST, README, LICENSE, ICON, OUTFILE.
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
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The hosts file as the program finds it: the later of the two candidates that exists.
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

!macro FindHostsFile result
  StrCpy ${result} ""
  ${If} ${FileExists} "$WINDIR\system32\drivers\etc\hosts"
    StrCpy ${result} "$WINDIR\system32\drivers\etc\hosts"
  ${EndIf}
  ${If} ${FileExists} "$WINDIR\hosts"
    StrCpy ${result} "$WINDIR\hosts"
  ${EndIf}
!macroend

Function .onInit
  SetRegView 64
  !insertmacro RefuseWhileRunning
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
  ; The program, its block list and its papers; an earlier "Blocked" and host.bak stay.
  File "/oname=tessaline.exe" "${PROGRAM}"
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
SectionEnd

Function un.onInit
  SetRegView 64
  !insertmacro RefuseWhileRunning
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  ; Removing the program never leaves the block section behind with no way back: while
  ; protection is on, the hosts file is restored from the backup first.
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
    !insertmacro FindHostsFile $1
    ${If} $1 == ""
      StrCpy $1 "$WINDIR\system32\drivers\etc\hosts"
    ${EndIf}
    SetFileAttributes "$1" NORMAL
    ; A copy beside the hosts file takes its place whole, as the program restores it; where
    ; the folder refuses the copy or the swap, the backup is copied over it in place.
    StrCpy $3 "$1.tsl-uninst"
    System::Call 'kernel32::CopyFileW(w "$INSTDIR\host.bak", w "$3", i 0) i .r2'
    ${If} $2 != 0
      ; 2: REPLACEFILE_IGNORE_MERGE_ERRORS
      System::Call 'kernel32::ReplaceFileW(w "$1", w "$3", p 0, i 2, p 0, p 0) i .r2'
      Delete "$3"
    ${EndIf}
    ${If} $2 == 0
      System::Call 'kernel32::CopyFileW(w "$INSTDIR\host.bak", w "$1", i 0) i .r2'
    ${EndIf}
    ${If} $2 == 0
      MessageBox MB_ICONSTOP "Could not restore the hosts file $1 from $INSTDIR\host.bak. \
          Nothing was removed." /SD IDOK
      SetErrorLevel 2
      Abort
    ${EndIf}
    WriteRegStr HKLM "${SETTINGS_KEY}" "Blocked" "0"
    StrCpy $R9 1
  ${EndIf}

  Delete "$INSTDIR\tessaline.exe"
  Delete "$INSTDIR\data.dat"
  Delete "$INSTDIR\README.md"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\tessaline.lock"
  Delete "$INSTDIR\uninstall.exe"
  ; A backup that was not just restored may be the only copy of the user's hosts file.
  ${If} $R9 == 1
    Delete "$INSTDIR\host.bak"
  ${EndIf}
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"

  DeleteRegKey HKLM "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKLM "SOFTWARE\Orrindale"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"  ; last: its going says the uninstall is done
SectionEnd

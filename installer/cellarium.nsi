; The Cellarium installer, for one architecture. installer/CMakeLists.txt
; runs makensis with:
;   ARCH          x64 or x86
;   VERSION       1.0 (shown to people); FILE_VERSION 1.0.0.0
;   SCR           the stripped cellarium.scr of that architecture
;   ICON          the saver's icon; OUTFILE the installer to write
;
; The x64 installer is a 64-bit program (target amd64-unicode): it runs
; without file-system redirection, so $SYSDIR is the 64-bit system folder,
; and Windows itself refuses to start it on 32-bit Windows. The x86 one is a
; 32-bit program and refuses 64-bit Windows, whose system folder is for
; 64-bit savers.
;
; The user's choice of screen saver lives in HKCU\Control Panel\Desktop
; (SCRNSAVE.EXE, ScreenSaveActive). What it was before Cellarium became the
; active saver is kept in the uninstall entry (PreviousScreenSaver,
; PreviousScreenSaveActive, and ActivatedFor, the account whose hive it is)
; until the uninstaller puts it back. Nothing is recorded when Cellarium was
; active already (an upgrade, or the .scr copied in by hand and chosen). The
; uninstaller never leaves its own HKCU naming the file it removes. The
; saver's own settings key is never touched.
;
; HKCU is the hive of the account the installer runs as. When that is not
; the user logged on to the session (over-the-shoulder elevation: a standard
; user typed an administrator's credentials), the choice would land in the
; administrator's hive, so the installer does not offer it and says so. It
; could write the user's hive under HKEY_USERS instead, but only by
; resolving the session's user to a SID, which can stall or fail for domain
; accounts, and without any way of telling that user's session of the
; change; an honest "choose it in Screen Saver Settings" is safer.

!if "${ARCH}" == "x64"
  Target amd64-unicode
!else if "${ARCH}" == "x86"
  Target x86-unicode
!else
  !error "ARCH must be x64 or x86"
!endif
Unicode true

!include MUI2.nsh
!include LogicLib.nsh
!include Sections.nsh
!include WinMessages.nsh
!include x64.nsh

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Cellarium"
!define DESKTOP_KEY "Control Panel\Desktop"
!define PUBLISHER "The Cellarium developers"
!define SAVER_CLASS "ScreenSaver.Cellarium"  ; the running saver's window
!define CLOSE_WAIT_MS 10000                   ; for a running saver to end
!define INTRO_TEXT "Cellarium is a screen saver that runs Conway's Game of Life across the screen. It goes into the Windows system folder, where the Screen Saver Settings list it."

Var Account        ; the account this program runs as, DOMAIN\user; "" unknown
Var SessionUser    ; the user logged on to this session, DOMAIN\user; "" unknown

Name "Cellarium ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
BrandingText "Cellarium ${VERSION} (${ARCH})"
!if "${ARCH}" == "x64"
  InstallDir "$PROGRAMFILES64\Cellarium"
!else
  InstallDir "$PROGRAMFILES\Cellarium"
!endif

VIProductVersion "${FILE_VERSION}"
VIFileVersion "${FILE_VERSION}"
VIAddVersionKey ProductName "Cellarium"
VIAddVersionKey ProductVersion "${FILE_VERSION}"
VIAddVersionKey FileVersion "${FILE_VERSION}"
VIAddVersionKey FileDescription "Cellarium ${VERSION} Setup (${ARCH})"
VIAddVersionKey CompanyName "${PUBLISHER}"
VIAddVersionKey LegalCopyright "Copyright (C) 2026 ${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_SMALLDESC
!define MUI_COMPONENTSPAGE_TEXT_TOP "${INTRO_TEXT}"
!define MUI_PAGE_CUSTOMFUNCTION_SHOW ComponentsShow
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Sets $R0 to 1 when SCRNSAVE.EXE names our saver (long or short path, any
; case), else to 0.
!macro CellariumIsActive un
  Function ${un}CellariumIsActive
    ReadRegStr $R1 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    GetFullPathName /SHORT $R2 "$SYSDIR\cellarium.scr"
    StrCpy $R0 0
    ${If} $R1 == "$SYSDIR\cellarium.scr"
      StrCpy $R0 1
    ${ElseIf} $R2 != ""  ; empty when the file is gone
    ${AndIf} $R1 == $R2
      StrCpy $R0 1
    ${EndIf}
  FunctionEnd
!macroend
!insertmacro CellariumIsActive ""
!insertmacro CellariumIsActive "un."

; Sets $Account to the account this program runs as, DOMAIN\user (the form
; the session's user is compared with), or "" when it cannot be read.
!macro ReadAccount un
  Function ${un}ReadAccount
    StrCpy $1 ${NSIS_MAX_STRLEN}
    System::Call 'secur32::GetUserNameExW(i 2, w .r0, *i r1r1) i .r2'  ; NameSamCompatible
    ${If} $2 == 0
      StrCpy $0 ""
    ${EndIf}
    StrCpy $Account $0
  FunctionEnd
!macroend
!insertmacro ReadAccount ""
!insertmacro ReadAccount "un."

; Sets $SessionUser to the user logged on to this session, DOMAIN\user, or
; "" when there is none (a service's session) or it cannot be read.
Function ReadSessionUser
  StrCpy $SessionUser ""
  ; WTS_CURRENT_SERVER_HANDLE, WTS_CURRENT_SESSION, WTSDomainName (7)
  System::Call 'wtsapi32::WTSQuerySessionInformationW(p 0, i -1, i 7, *p .r1, *i .r2) i .r0'
  ${If} $0 == 0
    Return
  ${EndIf}
  System::Call 'kernel32::lstrcpynW(w .r3, p r1, i ${NSIS_MAX_STRLEN})'
  System::Call 'wtsapi32::WTSFreeMemory(p r1)'
  ; WTSUserName (5)
  System::Call 'wtsapi32::WTSQuerySessionInformationW(p 0, i -1, i 5, *p .r1, *i .r2) i .r0'
  ${If} $0 == 0
    Return
  ${EndIf}
  System::Call 'kernel32::lstrcpynW(w .r4, p r1, i ${NSIS_MAX_STRLEN})'
  System::Call 'wtsapi32::WTSFreeMemory(p r1)'
  ${If} $4 != ""
    StrCpy $SessionUser "$3\$4"
  ${EndIf}
FunctionEnd

; Asks every running saver to close, through its normal close path (which
; stores its seeds and rate), and waits up to CLOSE_WAIT_MS for each
; process to end (for its window to go, where the process cannot be opened),
; so that its file can be replaced. A saver that does not end in time is
; left; the copy then fails and says so.
Function CloseRunningSavers
  StrCpy $2 0  ; the window asked last
  ${Do}
    FindWindow $0 "${SAVER_CLASS}"
    ${If} $0 == 0
    ${OrIf} $0 == $2
      ${Break}
    ${EndIf}
    StrCpy $2 $0
    DetailPrint "Closing the running Cellarium saver"
    System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r3)'
    System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i r3) p .r4'  ; SYNCHRONIZE
    System::Call 'user32::PostMessageW(p r0, i ${WM_CLOSE}, p 0, p 0)'
    ${If} $4 P<> 0
      System::Call 'kernel32::WaitForSingleObject(p r4, i ${CLOSE_WAIT_MS})'
      System::Call 'kernel32::CloseHandle(p r4)'
    ${Else}
      StrCpy $5 0
      ${Do}
        System::Call 'user32::IsWindow(p r0) i .r6'
        ${If} $6 == 0
          ${Break}
        ${EndIf}
        Sleep 100
        IntOp $5 $5 + 100
      ${LoopUntil} $5 >= ${CLOSE_WAIT_MS}
    ${EndIf}
  ${Loop}
FunctionEnd

; Machine and rights checks: on failure a message (skipped with /S), exit
; code 2 and nothing changed.
!macro CheckMachine
  !if "${ARCH}" == "x86"
    ${If} ${RunningX64}
      MessageBox MB_ICONSTOP|MB_OK "This is 64-bit Windows: cellarium-${VERSION}-x64-setup.exe is the Cellarium installer for this machine." /SD IDOK
      Abort
    ${EndIf}
  !endif
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "admin"
    MessageBox MB_ICONSTOP|MB_OK "Cellarium goes into the Windows system folder, which needs administrator rights. Run this installer as an administrator." /SD IDOK
    Abort
  ${EndIf}
  !if "${ARCH}" == "x64"
    SetRegView 64
  !endif
!macroend

Function un.onInit
  !insertmacro CheckMachine
FunctionEnd

Section "Cellarium screen saver (required)" SecSaver
  SectionIn RO
  Call CloseRunningSavers
  SetOutPath "$SYSDIR"
  ; "try": a file still in use sets the error flag instead of asking. Tried
  ; three times, half a second apart, for a closed saver's process to end.
  SetOverwrite try
  StrCpy $5 0  ; tries
  ${Do}
    ClearErrors
    File "/oname=cellarium.scr" "${SCR}"
    StrCpy $6 1  ; copied
    ${IfNot} ${Errors}
      ${Break}
    ${EndIf}
    StrCpy $6 0
    IntOp $5 $5 + 1
    ${If} $5 >= 3
      ${Break}
    ${EndIf}
    Sleep 500
  ${Loop}
  ${If} $6 == 0
    DetailPrint "$SYSDIR\cellarium.scr is in use and could not be replaced."
    MessageBox MB_ICONSTOP|MB_OK "$SYSDIR\cellarium.scr is in use and could not be replaced. Close Cellarium and its options dialog, then run the installer again." /SD IDOK
    Abort  ; exit code 2; the earlier install stays as it was
  ${EndIf}
  SetOverwrite on
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; Written over an earlier install's values: installing again upgrades.
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "Cellarium"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$SYSDIR\cellarium.scr,0"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  SectionGetSize ${SecSaver} $0
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $0
SectionEnd

Section "Make Cellarium the active screen saver" SecActivate
  ; Offered only when HKCU is the hive of the user of this session (.onInit).
  ; Remember the saver it replaces and whose hive it is, unless Cellarium is
  ; already the one (an upgrade): then the earlier install's record stays.
  Call CellariumIsActive
  ${If} $R0 == 0
    WriteRegStr HKLM "${UNINST_KEY}" "PreviousScreenSaver" $R1
    ReadRegStr $0 HKCU "${DESKTOP_KEY}" "ScreenSaveActive"
    WriteRegStr HKLM "${UNINST_KEY}" "PreviousScreenSaveActive" $0
    WriteRegStr HKLM "${UNINST_KEY}" "ActivatedFor" $Account
  ${EndIf}
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$SYSDIR\cellarium.scr"
  WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "1"
  ; SPI_SETSCREENSAVEACTIVE, SPIF_SENDCHANGE: tell the running session.
  System::Call 'user32::SystemParametersInfoW(i 17, i 1, p 0, i 2)'
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecSaver} "cellarium.scr in the Windows system folder, and an entry in Apps and Features to remove it."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecActivate} "Choose Cellarium in the Screen Saver Settings now. Uninstalling puts back the screen saver it replaces."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; The installer's HKCU is the session user's only when it runs as that user.
; Otherwise making Cellarium active is not offered, silent or not.
Function .onInit
  !insertmacro CheckMachine
  Call ReadAccount
  Call ReadSessionUser
  ${If} $Account == ""
  ${OrIf} $Account != $SessionUser
    !insertmacro UnselectSection ${SecActivate}
    !insertmacro SetSectionFlag ${SecActivate} ${SF_RO}
    SectionSetText ${SecActivate} "Make Cellarium the active screen saver (not offered)"
  ${EndIf}
FunctionEnd

Function ComponentsShow
  ${If} $Account == ""
  ${OrIf} $Account != $SessionUser
    FindWindow $0 "#32770" "" $HWNDPARENT
    GetDlgItem $0 $0 1006  ; the page's text above the list
    SendMessage $0 ${WM_SETTEXT} 0 "STR:Cellarium goes into the Windows system folder. This installer runs as another account than yours, so it cannot choose your screen saver: after installing, choose Cellarium in Screen Saver Settings."
  ${EndIf}
FunctionEnd

Section "Uninstall"
  ; Only while Cellarium is the active saver: the user may have chosen
  ; another since, and that one stays. Then put back the saver Cellarium
  ; replaced, but only in the hive the installer changed (this program's
  ; HKCU must be that account's). Without such a record (Cellarium chosen by
  ; hand, copied in from the zip before installing, or the record is
  ; another account's) the saver that was active before is unknown: no
  ; saver is left chosen, rather than one naming the file removed below.
  ; ScreenSaveActive, the user's on or off, then stays as it is.
  Call un.CellariumIsActive
  StrCpy $R3 0  ; the record is this hive's
  ${If} $R0 == 1
    Call un.ReadAccount
    ReadRegStr $1 HKLM "${UNINST_KEY}" "ActivatedFor"
    ${If} $1 != ""
    ${AndIf} $1 == $Account
      StrCpy $R3 1
    ${Else}
      DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    ${EndIf}
  ${EndIf}
  ${If} $R3 == 1
    ClearErrors
    ReadRegStr $0 HKLM "${UNINST_KEY}" "PreviousScreenSaver"
    ${If} ${Errors}
    ${OrIf} $0 == ""
      DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    ${Else}
      WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" $0
    ${EndIf}
    ClearErrors
    ReadRegStr $0 HKLM "${UNINST_KEY}" "PreviousScreenSaveActive"
    ${IfNot} ${Errors}
      ${If} $0 == ""
        DeleteRegValue HKCU "${DESKTOP_KEY}" "ScreenSaveActive"
      ${Else}
        WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" $0
      ${EndIf}
    ${EndIf}
  ${EndIf}
  ; A saver running now keeps its file until the next restart.
  Delete /REBOOTOK "$SYSDIR\cellarium.scr"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd

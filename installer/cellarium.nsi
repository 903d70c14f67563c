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
; PreviousScreenSaveActive) until the uninstaller puts it back. The saver's
; own settings key is never touched.

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
!include x64.nsh

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Cellarium"
!define DESKTOP_KEY "Control Panel\Desktop"
!define PUBLISHER "The Cellarium developers"

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
!define MUI_COMPONENTSPAGE_TEXT_TOP "Cellarium is a screen saver that runs Conway's Game of Life across the screen. It goes into the Windows system folder, where the Screen Saver Settings list it."
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

Function .onInit
  !insertmacro CheckMachine
FunctionEnd

Function un.onInit
  !insertmacro CheckMachine
FunctionEnd

Section "Cellarium screen saver (required)" SecSaver
  SectionIn RO
  SetOutPath "$SYSDIR"
  SetOverwrite on
  File "/oname=cellarium.scr" "${SCR}"
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
  ; Remember the saver it replaces, unless Cellarium is already the one (an
  ; upgrade): then the earlier install's record stays.
  Call CellariumIsActive
  ${If} $R0 == 0
    WriteRegStr HKLM "${UNINST_KEY}" "PreviousScreenSaver" $R1
    ReadRegStr $0 HKCU "${DESKTOP_KEY}" "ScreenSaveActive"
    WriteRegStr HKLM "${UNINST_KEY}" "PreviousScreenSaveActive" $0
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

Section "Uninstall"
  ; Put back the saver Cellarium replaced, but only while Cellarium is still
  ; the active one: the user may have chosen another since.
  Call un.CellariumIsActive
  ${If} $R0 == 1
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

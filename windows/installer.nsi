; SPDX-License-Identifier: MIT
; The installer of tarnel for 64-bit Windows: both programs, the README and the
; licence in one folder, a Start-menu entry for the window, and an uninstaller
; that Settings and the Control Panel list.
;
; makensis -DVERSION=<version> -DSTAGE=<folder with the files> -DOUTFILE=<setup.exe> installer.nsi
; A 64-bit installer, like the programs it carries (and so Wine's 64-bit loader runs
; it in the tests).
Target amd64-unicode
SetCompressor /SOLID lzma
!include "MUI2.nsh"
!include "x64.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\tarnel"

Name "tarnel"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\tarnel"
InstallDirRegKey HKLM "Software\tarnel" "InstallDir"
RequestExecutionLevel admin

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "tarnel"
VIAddVersionKey /LANG=1033 "FileDescription" "tarnel setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "MIT licence"

!define MUI_ICON "${STAGE}\..\tarnel.ico"
!define MUI_UNICON "${STAGE}\..\tarnel.ico"
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\tarnel.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "tarnel needs 64-bit Windows."
    Abort
  ${EndIf}
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "tarnel"
  SetOutPath "$INSTDIR"
  File "${STAGE}\tarnel.exe"
  File "${STAGE}\tarnel-cli.exe"
  File "${STAGE}\README.md"
  File "${STAGE}\LICENSE.txt"
  ; The web page, when the package was built with one.
  File /nonfatal /r "${STAGE}\web"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\tarnel.lnk" "$INSTDIR\tarnel.exe" "" "$INSTDIR\tarnel.exe" 0
  WriteRegStr HKLM "Software\tarnel" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "tarnel"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "The tarnel developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tarnel.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  Delete "$SMPROGRAMS\tarnel.lnk"
  Delete "$INSTDIR\tarnel.exe"
  Delete "$INSTDIR\tarnel-cli.exe"
  Delete "$INSTDIR\README.md"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir /r "$INSTDIR\web"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "Software\tarnel"
SectionEnd

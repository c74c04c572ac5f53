; Setup of the Windows programs (tools/windows-build.sh passes VERSION, STAGE,
; OUTFILE): the program folder into Program Files, the Start-menu entry and an
; uninstaller. The user's state (store bd\, settings, token, log) lives in
; %LOCALAPPDATA%\Vornik, made by the Start-menu entry, and stays on uninstall.
; 64-bit like the program it installs (and Wine without its 32-bit part runs it).
Target amd64-unicode
!include x64.nsh

Name "Конфигуратор Ворник ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Vornik"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails nevershow

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vornik"
!define ENTRY "$SMPROGRAMS\Конфигуратор Ворник.lnk"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  SetRegView 64
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Install"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File /r "${STAGE}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortCut "${ENTRY}" "$SYSDIR\wscript.exe" '"$INSTDIR\vornik-start.vbs"' "$INSTDIR\vornik-cli.exe" 0
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Конфигуратор Ворник"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "${ENTRY}"
  RMDir /r "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd

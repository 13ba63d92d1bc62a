; The launcher's Windows installer: for the current user, without
; administrator rights, into %LOCALAPPDATA%\Programs\dorv-launcher, as
; standard users install programs. scripts/windows-release builds it from the
; files of the zip:
;   makensis -DVERSION=1.0 -DVERSION4=1.0.0.0 -DSTAGE=<the zip's dorv-launcher
;     folder> -DFILES=<its list, files.nsh> -DICON=<.ico> -DOUTFILE=<setup.exe>
; files.nsh defines the macro RemoveProgramFiles: a Delete for each file of
; the zip and an RMDir for each folder, deepest first.
; The program is 64-bit, and so is the installer (Wine here runs no 32-bit
; program).
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\dorv-launcher"
!define PRODUCT "Запуск Дорва"
!define PUBLISHER "DORV launcher developers"
!define SHORTCUT "Запуск Дорва.lnk"
; The shortcuts' working folder, where the launcher keeps its list files: a
; standard user may not write into the program folder's neighbours on every
; system, and an upgrade or removal of the program must not touch the lists.
!define WORKDIR "$LOCALAPPDATA\dorv-launcher"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\dorv-launcher"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

!include MUI2.nsh
!include FileFunc.nsh
!include "${FILES}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION StartLauncher
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

VIProductVersion "${VERSION4}"
VIFileVersion "${VERSION4}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileDescription" "Установка программы ${PRODUCT}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "LegalCopyright" "${PUBLISHER}"

Section "${PRODUCT}" SecProgram
  SectionIn RO
  ; An installed version leaves first through its own uninstaller, which
  ; removes only the files it installed: no file of an older version stays
  ; behind, and the user's list files are never among them.
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} ${FileExists} "$0\uninstall.exe"
    ExecWait '"$0\uninstall.exe" /S _?=$0'
    Delete "$0\uninstall.exe"
  ${EndIf}

  SetOutPath "$INSTDIR"
  File /r "${STAGE}/*"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "${WORKDIR}"
  ; A shortcut's working folder is the output folder when it is made.
  SetOutPath "${WORKDIR}"
  CreateShortcut "$SMPROGRAMS\${SHORTCUT}" "$INSTDIR\dorv-launcher.exe" "" "$INSTDIR\dorv-launcher.exe" 0

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\dorv-launcher.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Ярлык на рабочем столе" SecDesktop
  SetOutPath "${WORKDIR}"
  CreateShortcut "$DESKTOP\${SHORTCUT}" "$INSTDIR\dorv-launcher.exe" "" "$INSTDIR\dorv-launcher.exe" 0
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} "Программа, её библиотеки и ярлык в меню «Пуск»."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecDesktop} "Ярлык программы на рабочем столе."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; From the finish page the launcher starts where its shortcuts start it.
Function StartLauncher
  SetOutPath "${WORKDIR}"
  Exec '"$INSTDIR\dorv-launcher.exe"'
FunctionEnd

; The program's files, its shortcuts and its uninstall entry go; the user's
; list files (in the working folder) and settings (HKCU\ExecuteDorv) stay.
Section "Uninstall"
  !insertmacro RemoveProgramFiles
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${SHORTCUT}"
  Delete "$DESKTOP\${SHORTCUT}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

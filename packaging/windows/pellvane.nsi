; The per-user installer of pellvane.exe. scripts/build-windows makes one per architecture:
;   makensis -DARCH=x86_64|i686 -DVERSION=... -DEXE=... -DREADME=... -DTEMPLATE=... -DOUTFILE=...
; The program writes its log, backup and tmp.htm beside itself, so it goes into a folder of
; the user's own, not under "Program Files", and the installer asks for no administrator.
Unicode true
!if "${ARCH}" == "x86_64"
  Target amd64-unicode
!else
  Target x86-unicode
!endif
RequestExecutionLevel user
SetCompressor /SOLID lzma

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Pellvane"
!define SETTINGS_KEY "SOFTWARE\Brackfell\Pellvane"

Name "Pellvane"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Pellvane"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Pellvane"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "Pellvane Setup"
VIAddVersionKey "LegalCopyright" "Brackfell"

!include "MUI2.nsh"
!include "FileFunc.nsh"
!define MUI_FINISHPAGE_RUN "$INSTDIR\pellvane.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "German"

Section "Pellvane"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File "/oname=pellvane.exe" "${EXE}"
  File "/oname=README.md" "${README}"
  File "/oname=template.htm" "${TEMPLATE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortCut "$SMPROGRAMS\Pellvane.lnk" "$INSTDIR\pellvane.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Pellvane"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Brackfell"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\pellvane.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; The settings, the log, the backup and the last page stay unless the user asks otherwise
; (also with /PURGE on the command line; a silent uninstall without it keeps them).
Section "Uninstall"
  SetShellVarContext current
  Delete "$INSTDIR\pellvane.exe"
  Delete "$INSTDIR\README.md"
  Delete "$INSTDIR\template.htm"
  Delete "$INSTDIR\uninstall.exe"
  Delete "$SMPROGRAMS\Pellvane.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ${GetParameters} $0
  ${GetOptions} $0 "/PURGE" $1
  IfErrors 0 purge
  MessageBox MB_YESNO|MB_DEFBUTTON2 "Einstellungen, Log und Sicherung ebenfalls löschen?" /SD IDNO IDYES purge
  Goto done
purge:
  Delete "$INSTDIR\pellvane.log"
  Delete "$INSTDIR\pellvane.sav"
  Delete "$INSTDIR\pellvane.lock"
  Delete "$INSTDIR\pellvane.due"
  Delete "$INSTDIR\tmp.htm"
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "SOFTWARE\Brackfell"
  ; Written there only where the account may; elsewhere this quietly does nothing.
  DeleteRegKey HKLM "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKLM "SOFTWARE\Brackfell"
done:
  RMDir "$INSTDIR"
SectionEnd

; The per-user installer of pellvane.exe. scripts/build-windows makes one per architecture:
;   makensis -DARCH=x86_64|i686 -DVERSION=... -DEXE=... -DREADME=... -DTEMPLATE=... -DOUTFILE=...
; The program writes its log, backup and tmp.htm beside itself, so it goes into a folder of
; the user's own, not under "Program Files", and the installer asks for no administrator.
; A check box, on by default, has the Task Scheduler run "pellvane.exe -now" every five
; minutes while the user is logged on; /NOTASK leaves it off in a silent install.
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
!include "WordFunc.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"
!define MUI_FINISHPAGE_RUN "$INSTDIR\pellvane.exe"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "German"

Section "Pellvane" SecProgram
  SectionIn RO
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

; The task runs the installed program: the zip's windows\pellvane-now.xml with this folder's
; paths, kept beside the program, but run while the user is logged on, so that it needs no
; password.
Section "Alle fünf Minuten prüfen (Aufgabenplanung)" SecTask
  ${WordReplace} "$INSTDIR" "&" "&amp;" "+" $1
  FileOpen $0 "$INSTDIR\pellvane-now.xml" w
  ; One line a call: an NSIS string holds at most 1024 characters.
  FileWriteUTF16LE /BOM $0 '<?xml version="1.0" encoding="UTF-16"?>$\r$\n'
  FileWriteUTF16LE $0 '<Task version="1.2" xmlns="http://schemas.microsoft.com/windows/2004/02/mit/task">$\r$\n'
  FileWriteUTF16LE $0 '<RegistrationInfo><Description>Pellvane: prüft die öffentliche IP-Adresse und veröffentlicht sie bei Änderung.</Description></RegistrationInfo>$\r$\n'
  FileWriteUTF16LE $0 '<Triggers><TimeTrigger><StartBoundary>2026-01-01T00:00:00</StartBoundary><Repetition><Interval>PT5M</Interval><StopAtDurationEnd>false</StopAtDurationEnd></Repetition><Enabled>true</Enabled></TimeTrigger></Triggers>$\r$\n'
  FileWriteUTF16LE $0 '<Principals><Principal id="Author"><LogonType>InteractiveToken</LogonType><RunLevel>LeastPrivilege</RunLevel></Principal></Principals>$\r$\n'
  FileWriteUTF16LE $0 '<Settings><MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy><DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries><StopIfGoingOnBatteries>false</StopIfGoingOnBatteries><StartWhenAvailable>true</StartWhenAvailable><ExecutionTimeLimit>PT10M</ExecutionTimeLimit><Enabled>true</Enabled></Settings>$\r$\n'
  FileWriteUTF16LE $0 '<Actions Context="Author"><Exec><Command>$1\pellvane.exe</Command><Arguments>-now</Arguments><WorkingDirectory>$1</WorkingDirectory></Exec></Actions>$\r$\n'
  FileWriteUTF16LE $0 '</Task>$\r$\n'
  FileClose $0
  ExecWait '"$SYSDIR\schtasks.exe" /Create /F /TN Pellvane /XML "$INSTDIR\pellvane-now.xml"' $0
  ${If} $0 == 0
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "ScheduledTask" 1
  ${Else}
    MessageBox MB_OK "Die Aufgabe für alle fünf Minuten ließ sich nicht anlegen ($0); siehe README." /SD IDOK
  ${EndIf}
SectionEnd

LangString DESC_SecProgram ${LANG_GERMAN} "Das Programm, das Einstellungsfenster und der Eintrag im Startmenü."
LangString DESC_SecTask ${LANG_GERMAN} "Die Aufgabenplanung startet alle fünf Minuten pellvane.exe -now, solange Sie angemeldet sind."
!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} $(DESC_SecProgram)
  !insertmacro MUI_DESCRIPTION_TEXT ${SecTask} $(DESC_SecTask)
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function .onInit
  ${GetParameters} $0
  ${GetOptions} $0 "/NOTASK" $1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecTask}
  ${EndIf}
FunctionEnd

; The settings, the log, the backup and the last page stay unless the user asks otherwise
; (also with /PURGE on the command line; a silent uninstall without it keeps them).
Section "Uninstall"
  SetShellVarContext current
  ReadRegDWORD $0 HKCU "${UNINSTALL_KEY}" "ScheduledTask"
  ${If} $0 == 1
    ExecWait '"$SYSDIR\schtasks.exe" /Delete /F /TN Pellvane'
  ${EndIf}
  Delete "$INSTDIR\pellvane.exe"
  Delete "$INSTDIR\README.md"
  Delete "$INSTDIR\template.htm"
  Delete "$INSTDIR\pellvane-now.xml"
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
  Delete "$INSTDIR\pellvane.status"
  Delete "$INSTDIR\pellvane.log.1"
  Delete "$INSTDIR\tmp.htm"
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "SOFTWARE\Brackfell"
  ; Written there only where the account may; elsewhere this quietly does nothing.
  DeleteRegKey HKLM "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKLM "SOFTWARE\Brackfell"
done:
  RMDir "$INSTDIR"
SectionEnd

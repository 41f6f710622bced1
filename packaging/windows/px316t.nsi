; The Windows installer of the PX316T service tool, made by scripts/windows.sh
; with makensis from the folder that goes into the zip:
;   makensis -DVERSION=5.02 -DFILEVERSION=5.2.0.0 -DSOURCE=<folder> -DICON=<px316t.ico>
;            -DOUTFILE=<setup.exe> px316t.nsi
; For every user of the computer: the programs go into Program Files, the
; Start menu entries into the common Start menu, table files (*.tbl) open in
; px316t.exe, and the installed programs list shows publisher, icon, version
; and size. Installing over an earlier version replaces it in place; a running
; copy of the tool is closed first (or the user is asked to close it). The
; uninstaller keeps each user's settings and production data unless asked.
;   setup.exe /S [/D=DIR]                      a silent install
;   uninstall.exe /S [/REMOVEUSERDATA]         a silent uninstall
; A 64-bit installer for 64-bit Windows 10 and 11, which the programs are built for.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestSupportedOS Win10

!include LogicLib.nsh
!include FileFunc.nsh
!include WinVer.nsh

!define PRODUCT "PX316T Service Tool"
!define PUBLISHER "PX316T service tool team"
!define APP_KEY "Software\PX316T Service Tool"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\PX316T Service Tool"
!define PROGID "PX316T.TableFile"
!define USER_KEY "Software\PX316T"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
BrandingText "${PUBLISHER}"
InstallDir "$PROGRAMFILES64\PX316T"
InstallDirRegKey HKLM "${APP_KEY}" "InstallDir"

VIProductVersion "${FILEVERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} setup (64-bit Windows 10 and 11)"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright 2010-2026 ${PUBLISHER}"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage components
UninstPage instfiles

; Waits until the program file $R0 of $INSTDIR is not running: Windows does
; not let a running program's file be opened for writing. The user is asked to
; close it; a silent install asks the window program to close, as its window's
; close button would (never the command line: a production run is not cut off).
!macro WAIT_UNTIL_CLOSED PROGRAM CLOSE_WHEN_SILENT
  StrCpy $R1 0
  ${Do}
    ${IfNot} ${FileExists} "$INSTDIR\${PROGRAM}"
      ${Break}
    ${EndIf}
    ClearErrors
    FileOpen $R2 "$INSTDIR\${PROGRAM}" a
    ${IfNot} ${Errors}
      FileClose $R2
      ${Break}
    ${EndIf}
    ${If} ${Silent}
      ${If} ${CLOSE_WHEN_SILENT} == 1
      ${AndIf} $R1 == 0
        nsExec::Exec 'taskkill /IM ${PROGRAM}'
        Pop $R2
      ${EndIf}
      IntOp $R1 $R1 + 1
      ${If} $R1 > 40
        SetErrorLevel 5
        Abort "${PROGRAM} is still running from $INSTDIR; nothing was changed."
      ${EndIf}
      Sleep 250
    ${ElseIfNot} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${PROGRAM} is running from $INSTDIR.$\r$\nClose it (save your table file first), then choose Retry." IDRETRY`
      SetErrorLevel 5
      Abort "${PROGRAM} is still running from $INSTDIR; nothing was changed."
    ${EndIf}
  ${Loop}
!macroend

; The files of an installed version, so that an update leaves nothing of the
; one before behind. Only what the installer puts there.
!macro REMOVE_PROGRAM_FILES
  RMDir /r "$INSTDIR\platforms"
  RMDir /r "$INSTDIR\styles"
  RMDir /r "$INSTDIR\fonts"
  RMDir /r "$INSTDIR\licences"
  Delete "$INSTDIR\*.exe"
  Delete "$INSTDIR\*.dll"
  Delete "$INSTDIR\qt.conf"
  Delete "$INSTDIR\README.txt"
!macroend

Function .onInit
  SetShellVarContext all
  ${IfNot} ${AtLeastWin10}
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} ${VERSION} needs 64-bit Windows 10 or 11." /SD IDOK
    SetErrorLevel 6
    Abort
  ${EndIf}
FunctionEnd

Section "Install"
  !insertmacro WAIT_UNTIL_CLOSED "px316t.exe" 1
  !insertmacro WAIT_UNTIL_CLOSED "px316t-cli.exe" 0
  ; An earlier version in the same folder is replaced in place. Versions up to
  ; 5.02 put their Start menu entries into the installing user's profile.
  !insertmacro REMOVE_PROGRAM_FILES
  SetShellVarContext current
  Delete "$SMPROGRAMS\PX316T\PX316T Service Tool.lnk"
  Delete "$SMPROGRAMS\PX316T\README.lnk"
  RMDir "$SMPROGRAMS\PX316T"
  SetShellVarContext all

  SetOutPath "$INSTDIR"
  File /r "${SOURCE}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateDirectory "$SMPROGRAMS\PX316T"
  CreateShortcut "$SMPROGRAMS\PX316T\PX316T Service Tool.lnk" "$INSTDIR\px316t.exe"
  CreateShortcut "$SMPROGRAMS\PX316T\README.lnk" "$INSTDIR\README.txt"

  WriteRegStr HKLM "${APP_KEY}" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${APP_KEY}" "Version" "${VERSION}"

  ; The installed programs list (Settings > Apps).
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\px316t.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"

  ; Table files open in the window program: "px316t.exe FILE".
  WriteRegStr HKLM "Software\Classes\.tbl" "" "${PROGID}"
  WriteRegStr HKLM "Software\Classes\.tbl\OpenWithProgids" "${PROGID}" ""
  WriteRegStr HKLM "Software\Classes\${PROGID}" "" "PX316T table file"
  WriteRegStr HKLM "Software\Classes\${PROGID}\DefaultIcon" "" '"$INSTDIR\px316t.exe",0'
  WriteRegStr HKLM "Software\Classes\${PROGID}\shell\open\command" "" '"$INSTDIR\px316t.exe" "%1"'
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

Section "-un.Program"
  !insertmacro WAIT_UNTIL_CLOSED "px316t.exe" 1
  !insertmacro WAIT_UNTIL_CLOSED "px316t-cli.exe" 0
  Delete "$SMPROGRAMS\PX316T\PX316T Service Tool.lnk"
  Delete "$SMPROGRAMS\PX316T\README.lnk"
  RMDir "$SMPROGRAMS\PX316T"
  !insertmacro REMOVE_PROGRAM_FILES
  RMDir "$INSTDIR"

  ; The association goes only where it is still this program's.
  ReadRegStr $0 HKLM "Software\Classes\.tbl" ""
  ${If} $0 == "${PROGID}"
    DeleteRegValue HKLM "Software\Classes\.tbl" ""
  ${EndIf}
  DeleteRegValue HKLM "Software\Classes\.tbl\OpenWithProgids" "${PROGID}"
  DeleteRegKey /ifempty HKLM "Software\Classes\.tbl\OpenWithProgids"
  DeleteRegKey /ifempty HKLM "Software\Classes\.tbl"
  DeleteRegKey HKLM "Software\Classes\${PROGID}"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "${APP_KEY}"
SectionEnd

; Off unless chosen: the table files, backups, production record and settings
; of the user who uninstalls (%APPDATA%\px316t, HKEY_CURRENT_USER\Software\PX316T).
Section /o "un.Also remove my settings and production data" RemoveUserData
  SetShellVarContext current
  RMDir /r "$APPDATA\px316t"
  DeleteRegKey HKCU "${USER_KEY}"
  SetShellVarContext all
SectionEnd

Function un.onInit
  SetShellVarContext all
  ${un.GetParameters} $0
  ClearErrors
  ${un.GetOptions} $0 "/REMOVEUSERDATA" $1
  ${IfNot} ${Errors}
    SectionSetFlags ${RemoveUserData} ${SF_SELECTED}
  ${EndIf}
FunctionEnd

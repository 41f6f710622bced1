; The Windows installer of the PX316T service tool, made by scripts/windows.sh
; with makensis from the folder that goes into the zip:
;   makensis -DVERSION=5.02 -DSOURCE=<folder> -DOUTFILE=<setup.exe> px316t.nsi
; It copies the folder into Program Files, adds Start menu entries and an
; uninstaller (also listed under Apps). A silent install: setup.exe /S [/D=DIR]
; A 64-bit installer (it does not start on 32-bit Windows, as the programs would not).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

Name "PX316T Service Tool ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\PX316T"
InstallDirRegKey HKLM "Software\PX316T Service Tool" "InstallDir"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\PX316T Service Tool"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Install"
  SetOutPath "$INSTDIR"
  File /r "${SOURCE}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateDirectory "$SMPROGRAMS\PX316T"
  CreateShortcut "$SMPROGRAMS\PX316T\PX316T Service Tool.lnk" "$INSTDIR\px316t.exe"
  CreateShortcut "$SMPROGRAMS\PX316T\README.lnk" "$INSTDIR\README.txt"
  WriteRegStr HKLM "Software\PX316T Service Tool" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "PX316T Service Tool"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  ; Only what the installer put there: the user's table files, backups and
  ; record (under %APPDATA%) stay.
  Delete "$SMPROGRAMS\PX316T\PX316T Service Tool.lnk"
  Delete "$SMPROGRAMS\PX316T\README.lnk"
  RMDir "$SMPROGRAMS\PX316T"
  RMDir /r "$INSTDIR\platforms"
  RMDir /r "$INSTDIR\styles"
  RMDir /r "$INSTDIR\fonts"
  RMDir /r "$INSTDIR\licences"
  Delete "$INSTDIR\*.exe"
  Delete "$INSTDIR\*.dll"
  Delete "$INSTDIR\qt.conf"
  Delete "$INSTDIR\README.txt"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "Software\PX316T Service Tool"
SectionEnd

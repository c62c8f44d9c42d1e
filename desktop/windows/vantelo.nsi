; The Windows setup program: a per-user install that needs no administrator
; rights, with a Start-menu entry and an uninstaller. scripts/windows.sh runs
; makensis with VERSION, SOURCE (the portable folder), OUTFILE and UNINSTALL
; (a list of Delete and RMDir lines, one per installed file and folder) and ICON.
; A 64-bit setup program for a 64-bit program: it also runs where Windows (or
; Wine) has no 32-bit layer.
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantelo"

Name "Vantelo"
Caption "Vantelo ${VERSION} Setup"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Vantelo"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Vantelo ${VERSION}"

!include "MUI2.nsh"
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\vantelo.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "Vantelo"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File /r "${SOURCE}\*.*"
  WriteUninstaller "$INSTDIR\Uninstall Vantelo.exe"
  CreateShortcut "$SMPROGRAMS\Vantelo.lnk" "$INSTDIR\vantelo.exe" "" "$INSTDIR\vantelo.exe" 0

  ; Design files open in Vantelo from Explorer.
  WriteRegStr HKCU "Software\Classes\.vantelo" "" "Vantelo.Design"
  WriteRegStr HKCU "Software\Classes\Vantelo.Design" "" "Vantelo design"
  WriteRegStr HKCU "Software\Classes\Vantelo.Design\DefaultIcon" "" "$INSTDIR\vantelo.exe,0"
  WriteRegStr HKCU "Software\Classes\Vantelo.Design\shell\open\command" "" '"$INSTDIR\vantelo.exe" "%1"'

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Vantelo"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Tarnwick"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vantelo.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall Vantelo.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall Vantelo.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Removes exactly what was installed. The user's own logos (saved into the
; logos folder, which this user may write) and the settings in
; HKCU\Software\VB and VBA Program Settings stay: RMDir only takes away a
; folder that is empty.
Section "Uninstall"
  SetShellVarContext current
  Delete "$SMPROGRAMS\Vantelo.lnk"
  !include "${UNINSTALL}"
  Delete "$INSTDIR\Uninstall Vantelo.exe"
  RMDir "$INSTDIR"
  ReadRegStr $0 HKCU "Software\Classes\Vantelo.Design\shell\open\command" ""
  StrCmp $0 '"$INSTDIR\vantelo.exe" "%1"' 0 +3
    DeleteRegKey HKCU "Software\Classes\Vantelo.Design"
    DeleteRegKey HKCU "Software\Classes\.vantelo"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

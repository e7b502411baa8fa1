; The setup of one site's client, for one user: no administrator rights, the launcher, its
; installer and the site's qxurl.net in %LOCALAPPDATA%\Programs\APP_NAME, a Start-menu shortcut
; and an uninstaller registered for this user. /S installs silently. scripts/package-client
; builds it:
;   makensis -WX -DAPP_NAME=.. -DPAYLOAD=DIR -DOUT_FILE=.. [-DCA_FILE=..] [-DSPLASH_FILE=..]
Target amd64-unicode          ; the 32-bit stub installs nothing where Windows has no 32-bit layer
SetCompressor /SOLID lzma
RequestExecutionLevel user    ; never ask for elevation

!macro REQUIRE NAME
  !ifndef ${NAME}
    !error "pass -D${NAME}=... to makensis"
  !endif
!macroend
!insertmacro REQUIRE APP_NAME
!insertmacro REQUIRE PAYLOAD
!insertmacro REQUIRE OUT_FILE
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${APP_NAME}"

Name "${APP_NAME}"
OutFile "${OUT_FILE}"
InstallDir "$LOCALAPPDATA\Programs\${APP_NAME}"
InstallDirRegKey HKCU "${UNINST_KEY}" "InstallLocation"
ShowInstDetails nevershow

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  SetShellVarContext current          ; this user's folders, not those of all users
FunctionEnd
Function un.onInit
  SetShellVarContext current
FunctionEnd

; The uninstaller removes the whole folder, with the application the launcher fetched into it,
; so only a new or empty folder, or an earlier installation of this client, is installed into.
; Leaves 1 in $R0 when $INSTDIR holds anything else.
Function CheckFolder
  StrCpy $R0 0
  IfFileExists "$INSTDIR\uninstall.exe" done
  FindFirst $0 $1 "$INSTDIR\*.*"
  loop:
    StrCmp $1 "" closed
    StrCmp $1 "." next
    StrCmp $1 ".." next
    StrCpy $R0 1
    Goto closed
  next:
    FindNext $0 $1
    Goto loop
  closed:
    FindClose $0
  done:
FunctionEnd

Function .onVerifyInstDir
  Call CheckFolder
  StrCmp $R0 1 0 +2
    Abort
FunctionEnd

Section "Install"
  Call CheckFolder
  StrCmp $R0 1 0 +3
    MessageBox MB_OK|MB_ICONSTOP "$INSTDIR holds other files: choose a new or empty folder." /SD IDOK
    Abort
  SetOutPath "$INSTDIR"
  File "${PAYLOAD}\QXLauncher.exe"
  File "${PAYLOAD}\QXInstaller.exe"    ; the launcher hands every update to it, beside itself
  File "${PAYLOAD}\qxurl.net"
  !ifdef CA_FILE
    File "${PAYLOAD}\${CA_FILE}"
  !endif
  !ifdef SPLASH_FILE
    File "${PAYLOAD}\${SPLASH_FILE}"
  !endif

  ; Started in its folder: the launcher takes the splash picture from its current directory.
  CreateShortcut "$SMPROGRAMS\${APP_NAME}.lnk" "$INSTDIR\QXLauncher.exe"

  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr   HKCU "${UNINST_KEY}" "DisplayName"          "${APP_NAME}"
  WriteRegStr   HKCU "${UNINST_KEY}" "DisplayIcon"          "$INSTDIR\QXLauncher.exe"
  WriteRegStr   HKCU "${UNINST_KEY}" "InstallLocation"      "$INSTDIR"
  WriteRegStr   HKCU "${UNINST_KEY}" "UninstallString"      '"$INSTDIR\uninstall.exe"'
  WriteRegStr   HKCU "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  Delete "$SMPROGRAMS\${APP_NAME}.lnk"
  DeleteRegKey HKCU "${UNINST_KEY}"
  IfFileExists "$INSTDIR\qxurl.net" 0 +2
    RMDir /r "$INSTDIR"
SectionEnd

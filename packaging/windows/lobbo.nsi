; Lobbo for Windows: installs the staged tree for the current user (no
; administrator needed), under %LOCALAPPDATA%\Programs\Lobbo, with a
; Start-menu entry and an uninstaller. The tree is the player's own there, so
; the players' files (options.ini, each game's hiscore.dat and replays) are
; written beside the programs; the uninstaller removes only what was
; installed and leaves them.
; makensis -DSTAGE=... -DINSTALL_LIST=... -DUNINSTALL_LIST=... -DOUTFILE=... lobbo.nsi
; A 64-bit installer for the 64-bit programs (and one that a 64-bit Wine runs).
Target amd64-unicode
SetCompressor /SOLID lzma
Name "Lobbo"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Lobbo"
InstallDirRegKey HKCU "Software\Lobbo" "InstallDir"
RequestExecutionLevel user

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Lobbo"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Lobbo"
  SetShellVarContext current
  !include "${INSTALL_LIST}"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  ; The launcher starts in its own folder (the shortcut's "start in" is the last SetOutPath).
  CreateShortcut "$SMPROGRAMS\Lobbo.lnk" "$INSTDIR\Lobbo.exe"
  WriteRegStr HKCU "Software\Lobbo" "InstallDir" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Lobbo"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Lobbo.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  !include "${UNINSTALL_LIST}"
  Delete "$INSTDIR\Uninstall.exe"
  Delete "$SMPROGRAMS\Lobbo.lnk"
  ; Only empty: a folder that still holds a player's saves stays.
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegKey HKCU "Software\Lobbo"
SectionEnd

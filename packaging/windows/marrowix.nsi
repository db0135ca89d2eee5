; The Windows installer: both programs, for the current user or for every
; user of the machine, with a Start-menu entry, an uninstaller and an
; "Open with" entry for listings that leaves .txt files to their own program.
; Built by scripts/windows/package.sh with:
;   makensis -DVERSION=... -DSTAGE=folder-of-the-files -DOUT=setup.exe
; Silent: setup.exe /S [/CurrentUser | /AllUsers] [/D=folder]; the
; uninstaller takes /S too.
Target amd64-unicode  ; a 64-bit installer, as the programs are
SetCompressor /SOLID lzma

!define APP "Marrowix"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Marrowix"
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_INSTALLMODE_INSTDIR "${APP}"
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallMode"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!include MultiUser.nsh
!include MUI2.nsh
!include x64.nsh

Name "${APP} ${VERSION}"
OutFile "${OUT}"
RequestExecutionLevel user

!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
    ${IfNot} ${RunningX64}
        MessageBox MB_ICONSTOP "Marrowix needs 64-bit Windows." /SD IDOK
        Abort
    ${EndIf}
    !insertmacro MULTIUSER_INIT
FunctionEnd

Function un.onInit
    !insertmacro MULTIUSER_UNINIT
FunctionEnd

Section "Marrowix"
    SetOutPath "$INSTDIR"
    File "${STAGE}\marrowix.exe"
    File "${STAGE}\marrowix-inspect.exe"
    File "${STAGE}\LICENSE.txt"
    File "${STAGE}\THIRD-PARTY-NOTICES.txt"
    SetOutPath "$INSTDIR\licenses"
    File "${STAGE}\licenses\*"
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateShortcut "$SMPROGRAMS\Marrowix.lnk" "$INSTDIR\marrowix.exe"

    ; "Open with" for listings; .txt stays with the program it has.
    WriteRegStr SHCTX "Software\Classes\Applications\marrowix.exe" "FriendlyAppName" "Marrowix"
    WriteRegStr SHCTX "Software\Classes\Applications\marrowix.exe\SupportedTypes" ".txt" ""
    WriteRegStr SHCTX "Software\Classes\Applications\marrowix.exe\shell\open\command" "" \
        '"$INSTDIR\marrowix.exe" "%1"'
    WriteRegStr SHCTX "Software\Classes\.txt\OpenWithList\marrowix.exe" "" ""

    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "Marrowix"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "the Marrowix developers"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\marrowix.exe"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallMode" "$MultiUser.InstallMode"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" \
        '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode'
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" \
        '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode /S'
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    Delete "$SMPROGRAMS\Marrowix.lnk"
    DeleteRegKey SHCTX "Software\Classes\Applications\marrowix.exe"
    DeleteRegKey SHCTX "Software\Classes\.txt\OpenWithList\marrowix.exe"
    DeleteRegKey /ifempty SHCTX "Software\Classes\.txt\OpenWithList"
    DeleteRegKey /ifempty SHCTX "Software\Classes\.txt"
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
    Delete "$INSTDIR\marrowix.exe"
    Delete "$INSTDIR\marrowix-inspect.exe"
    Delete "$INSTDIR\LICENSE.txt"
    Delete "$INSTDIR\THIRD-PARTY-NOTICES.txt"
    RMDir /r "$INSTDIR\licenses"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
SectionEnd

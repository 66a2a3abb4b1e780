; Lectoria's installer for Windows (NSIS 3, 64-bit): for the current user only, without
; administrator rights, into %LOCALAPPDATA%\Programs\Lectoria, with a Start-menu entry and an
; entry in the installed programs. Built by scripts/empaqueter-windows, which passes:
;   VERSION  the project's version (CMake's project(... VERSION)), e.g. 1.1.8
;   SOURCE   the folder holding the programs and everything they need, as in Lectoria.zip
;   REMOVE   an include of Delete/RMDir lines for exactly those files, for the uninstaller
;   SIZE_KB  their size in KiB, shown by Windows beside the program
;   OUTFILE  the installer to write
; The settings (HKCU\Software\Orvane\Lectoria) and the editions are the user's: installing over
; an earlier version leaves them alone, and so does uninstalling, which removes only the files
; it installed and folders left empty.

!ifndef VERSION | SOURCE | REMOVE | SIZE_KB | OUTFILE
    !error "lectoria.nsi : VERSION, SOURCE, REMOVE, SIZE_KB et OUTFILE sont à donner avec -D (voir scripts/empaqueter-windows)."
!endif

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Lectoria"

Name "Lectoria ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Lectoria"
; An earlier install elsewhere is updated where it is.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Orvane"
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1036 "ProductName" "Lectoria"
VIAddVersionKey /LANG=1036 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1036 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1036 "FileDescription" "Installation de Lectoria ${VERSION}"
VIAddVersionKey /LANG=1036 "CompanyName" "Orvane"
VIAddVersionKey /LANG=1036 "LegalCopyright" "Orvane"

!define MUI_ICON "${SOURCE}/lectoria.ico"
!define MUI_UNICON "${SOURCE}/lectoria.ico"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\lectoria.exe"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\LISEZMOI.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "French"

; Windows lets nobody replace or remove the file of a running program, and NSIS, when a file
; cannot be written, goes on in a silent install and reports success with the old program left in
; place. So the programs are first opened for writing, which fails while one of them runs: the user
; is asked to close Lectoria and try again; a silent run ends in failure (exit code 2).
!macro DefineRunningCheck un
Function ${un}StopWhileRunning
    retry:
    ${ForEach} $R1 0 1 + 1
        ${If} $R1 == 0
            StrCpy $R2 "$INSTDIR\lectoria.exe"
        ${Else}
            StrCpy $R2 "$INSTDIR\lectoria-cli.exe"
        ${EndIf}
        ${If} ${FileExists} $R2
            ClearErrors
            FileOpen $R3 $R2 a
            ${If} ${Errors}
                MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
                    "Lectoria est ouvert : fermez sa fenêtre et attendez la fin des téléchargements de lectoria-cli, puis cliquez sur Recommencer.$\r$\n$\r$\n$R2" \
                    /SD IDCANCEL IDRETRY retry
                Abort "Lectoria est ouvert : rien n'a été modifié."
            ${EndIf}
            FileClose $R3
        ${EndIf}
    ${Next}
FunctionEnd
!macroend
!insertmacro DefineRunningCheck ""
!insertmacro DefineRunningCheck "un."

Section "Lectoria"
    Call StopWhileRunning
    SetShellVarContext current
    SetOutPath "$INSTDIR"
    SetOverwrite on
    File /r "${SOURCE}/*"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateShortcut "$SMPROGRAMS\Lectoria.lnk" "$INSTDIR\lectoria.exe" "" "$INSTDIR\lectoria.ico" 0 \
        SW_SHOWNORMAL "" "Télécharger l'édition PDF de « 20 minutes » ou de « Metro »"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Lectoria"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Orvane"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\lectoria.ico"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    Call un.StopWhileRunning
    SetShellVarContext current
    Delete "$SMPROGRAMS\Lectoria.lnk"
    ; The daily download (lectoria-cli --programmer) would start a program that is no longer there
    ; every morning and fail unseen: the program removes its own task while it still can. There is
    ; one such task per user, whichever copy made it (--programmer replaces it from any copy).
    ; Without a task, it answers that the Task Scheduler refused, which changes nothing here.
    ${If} ${FileExists} "$INSTDIR\lectoria-cli.exe"
        nsExec::Exec '"$INSTDIR\lectoria-cli.exe" --deprogrammer'
        Pop $R0
    ${EndIf}
    ; Only what the installer put there: editions saved into this folder stay, and so does the folder then.
    !include "${REMOVE}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

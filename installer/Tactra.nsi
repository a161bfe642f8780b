; Tactra's installer: per user, without administrator rights, into the user's local
; application data. installer/CMakeLists.txt builds it with
;   makensis -DVERSION=1.0.1.4 -DTARGET=x86-unicode -DPAYLOAD_NSH=payload.nsh
;            -DICON=app/Tactra.ico -DOUTFILE=Tactra-1.0.1.4-setup.exe Tactra.nsi
; payload.nsh (generated) defines the macros TactraInstallPayload and
; TactraRemovePayload from the list of files that ship, and HAVE_CALIBRATE and
; HAVE_TEST when those programs are among them.
;
; Command line: /S silent (autostart on unless /NOAUTOSTART; an upgrade keeps the
; earlier choice), /D=FOLDER another folder. The uninstaller's /S keeps the profiles.

Unicode true
Target ${TARGET}
SetCompressor /SOLID lzma
RequestExecutionLevel user

!include MUI2.nsh
!include LogicLib.nsh
!include Sections.nsh
!include FileFunc.nsh
!include WinMessages.nsh
!include nsDialogs.nsh
!include "${PAYLOAD_NSH}"

; What Tactra.exe holds and shows while it runs (platform/tactra_instance.h,
; app/app_rules.h).
!define TACTRA_MUTEX "Local\Tactra.Running"
!define TACTRA_WINDOW_CLASS "#32770"
!define TACTRA_WINDOW_TITLE "Qumix Touch Configure"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tactra"
!define STARTUP_LINK "$SMSTARTUP\Tactra.lnk"
!define MENU_FOLDER "$SMPROGRAMS\Tactra"

Name "Tactra ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Tactra"
; An upgrade goes where the earlier version went.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Tactra ${VERSION}"

; The build treats warnings as errors; no copyright line is claimed.
!pragma warning disable 9100
VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "Tactra"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "Tactra ${VERSION} setup"

Var TactraWasRunning
Var RemoveProfiles
Var RemoveProfilesBox

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start Tactra now"
!define MUI_FINISHPAGE_RUN_FUNCTION StartTactra
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\ReadMe.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH

UninstPage custom un.OptionsPage un.OptionsLeave
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; Functions that the installer and the uninstaller both need (NSIS keeps the two
; apart: the uninstaller's carry the "un." prefix).
!macro TactraFunctions un
    ; $0 := 1 when a Tactra of this session holds its mark, else 0.
    Function ${un}IsTactraRunning
        System::Call 'kernel32::OpenMutex(i 0x100000, i 0, t "${TACTRA_MUTEX}") p .r0 ?e'
        Pop $1
        ${If} $0 != 0
            System::Call 'kernel32::CloseHandle(p $0)'
            StrCpy $0 1
        ${ElseIf} $1 = 5
            ; ERROR_ACCESS_DENIED: held by a Tactra with other rights.
            StrCpy $0 1
        ${Else}
            StrCpy $0 0
        ${EndIf}
    FunctionEnd

    ; Ends a running Tactra as its "EXIT" does (WM_CLOSE to its main dialog), so
    ; that it removes its tray icon; one that does not end within 5 s (a modal
    ; dialog of its own open, say) is terminated. Sets TactraWasRunning.
    Function ${un}CloseRunningTactra
        StrCpy $R1 0
        ${Do}
            FindWindow $R0 "${TACTRA_WINDOW_CLASS}" "${TACTRA_WINDOW_TITLE}"
            ${If} $R0 != 0
                StrCpy $TactraWasRunning 1
                System::Call 'user32::GetWindowThreadProcessId(p $R0, *i 0 .R2)'
                ; SYNCHRONIZE | PROCESS_TERMINATE
                System::Call 'kernel32::OpenProcess(i 0x100001, i 0, i $R2) p .R3'
                SendMessage $R0 ${WM_CLOSE} 0 0 /TIMEOUT=5000
                ${If} $R3 != 0
                    System::Call 'kernel32::WaitForSingleObject(p $R3, i 5000) i .R4'
                    ${If} $R4 != 0
                        System::Call 'kernel32::TerminateProcess(p $R3, i 1)'
                        System::Call 'kernel32::WaitForSingleObject(p $R3, i 5000)'
                    ${EndIf}
                    System::Call 'kernel32::CloseHandle(p $R3)'
                ${Else}
                    Sleep 500
                ${EndIf}
            ${Else}
                ; No dialog: either none runs, or one is starting and has taken
                ; its mark before its dialog exists.
                Call ${un}IsTactraRunning
                ${If} $0 == 0
                    ${Break}
                ${EndIf}
                StrCpy $TactraWasRunning 1
                Sleep 250
            ${EndIf}
            IntOp $R1 $R1 + 1
        ${LoopUntil} $R1 >= 20
    FunctionEnd
!macroend
!insertmacro TactraFunctions ""
!insertmacro TactraFunctions "un."

; Starts the installed Tactra in its own folder, where it keeps "Tactra.ini" and
; finds "Calibrate.ini", Calibrate.exe and Test.exe; nothing when one runs already.
Function StartTactra
    Call IsTactraRunning
    ${If} $0 == 0
        SetOutPath "$INSTDIR"
        Exec '"$INSTDIR\Tactra.exe"'
    ${EndIf}
FunctionEnd

; Every shortcut starts its program in the install folder (CreateShortCut takes
; the output folder as the shortcut's working folder).
Section "Tactra" SecProgram
    SectionIn RO
    Call CloseRunningTactra

    SetOutPath "$INSTDIR"
    ; The payload only: "Tactra.ini" and "Calibrate.ini" of an earlier install are
    ; the user's and are never written here.
    !insertmacro TactraInstallPayload
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    CreateDirectory "${MENU_FOLDER}"
    CreateShortCut "${MENU_FOLDER}\Tactra.lnk" "$INSTDIR\Tactra.exe"
!ifdef HAVE_CALIBRATE
    CreateShortCut "${MENU_FOLDER}\Calibrate.lnk" "$INSTDIR\Calibrate.exe"
!endif
!ifdef HAVE_TEST
    CreateShortCut "${MENU_FOLDER}\Test.lnk" "$INSTDIR\Test.exe"
!endif
    CreateShortCut "${MENU_FOLDER}\Uninstall.lnk" "$INSTDIR\Uninstall.exe"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Tactra"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Tactra.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Start Tactra when I log on" SecAutostart
    SetOutPath "$INSTDIR"
    CreateShortCut "${STARTUP_LINK}" "$INSTDIR\Tactra.exe"
SectionEnd

Section "-Finish"
    ; An autostart switched off is removed, also one of an earlier install.
    ${IfNot} ${SectionIsSelected} ${SecAutostart}
        Delete "${STARTUP_LINK}"
    ${EndIf}
    ; The size in KB, for the list of installed programs.
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
    ; An upgrade starts again the Tactra it ended.
    ${If} $TactraWasRunning == 1
        Call StartTactra
    ${EndIf}
SectionEnd

Function .onInit
    StrCpy $TactraWasRunning 0
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/NOAUTOSTART" $R1
    ${IfNot} ${Errors}
        !insertmacro UnselectSection ${SecAutostart}
    ${Else}
        ; An upgrade keeps the earlier choice: no startup shortcut, no autostart.
        ReadRegStr $R2 HKCU "${UNINSTALL_KEY}" "DisplayVersion"
        ${If} $R2 != ""
        ${AndIfNot} ${FileExists} "${STARTUP_LINK}"
            !insertmacro UnselectSection ${SecAutostart}
        ${EndIf}
    ${EndIf}
FunctionEnd

Function un.OptionsPage
    !insertmacro MUI_HEADER_TEXT "Uninstall Tactra" "Remove Tactra from this computer."
    nsDialogs::Create 1018
    Pop $0
    ${If} $0 == error
        Abort
    ${EndIf}
    ${NSD_CreateLabel} 0 0 100% 36u "Tactra will be removed from $INSTDIR.$\r$\n$\r$\nYour profiles (Tactra.ini) and your calibration (Calibrate.ini) stay in that folder, for a later install, unless you tick the box below."
    Pop $0
    ${NSD_CreateCheckbox} 0 48u 100% 12u "Also remove my profiles and calibration"
    Pop $RemoveProfilesBox
    GetDlgItem $0 $HWNDPARENT 1
    SendMessage $0 ${WM_SETTEXT} 0 "STR:$(^UninstallBtn)"
    nsDialogs::Show
FunctionEnd

Function un.OptionsLeave
    ${NSD_GetState} $RemoveProfilesBox $RemoveProfiles
FunctionEnd

Section "Uninstall"
    Call un.CloseRunningTactra

    !insertmacro TactraRemovePayload
    Delete "$INSTDIR\Uninstall.exe"
    Delete "${MENU_FOLDER}\Tactra.lnk"
    Delete "${MENU_FOLDER}\Calibrate.lnk"
    Delete "${MENU_FOLDER}\Test.lnk"
    Delete "${MENU_FOLDER}\Uninstall.lnk"
    RMDir "${MENU_FOLDER}"
    Delete "${STARTUP_LINK}"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"

    ; The silent uninstaller never shows the box: the settings stay.
    ${If} $RemoveProfiles == ${BST_CHECKED}
        Delete "$INSTDIR\Tactra.ini"
        Delete "$INSTDIR\Calibrate.ini"
    ${EndIf}
    ; Only an empty folder goes: what else the user keeps there stays.
    RMDir "$INSTDIR"
    SetAutoClose true
SectionEnd

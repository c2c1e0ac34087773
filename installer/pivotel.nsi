; The per-user installer of Pivotel (PivotelSetup.exe): program files, shortcut, logon start, uninstaller.
;
; makensis -DVERSION=x.y.z -DPIVOTEL_EXE=<pivotel.exe> -DRES_DIR=<src/res> -DOUTFILE=<setup.exe> pivotel.nsi
; Quiet use: /S installs with the defaults, /NOLOGON leaves out the start at logon, /D=<folder> picks
; the folder (last on the command line, unquoted). The uninstaller's /S keeps setting.ini.

Unicode true
Target amd64-unicode
!ifndef VERSION | PIVOTEL_EXE | RES_DIR | OUTFILE
    !error "VERSION, PIVOTEL_EXE, RES_DIR and OUTFILE must be given with -D"
!endif

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Pivotel"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define MAIN_CLASS "ピボテル"
!define IDC_TRAY_EXIT 40001
; Pivotel ends within a second once told; a slow machine gets this long before the user is asked.
!define EXIT_WAIT_MS 15000

Name "Pivotel"
OutFile "${OUTFILE}"
; Pivotel writes setting.ini beside itself, so it lives in the user's own profile and needs no rights.
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Pivotel"
InstallDirRegKey HKCU "${UNINST_KEY}" "InstallLocation"
SetCompressor /SOLID lzma
ManifestDPIAware true
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "Pivotel"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "Pivotel Setup"
VIAddVersionKey /LANG=0 "CompanyName" "Pivotel"
VIAddVersionKey /LANG=0 "LegalCopyright" "Pivotel"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh

Var FolderExisted

!define MUI_ICON "${RES_DIR}/pivotel.ico"
!define MUI_UNICON "${RES_DIR}/pivotel.ico"
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_COMPONENTSPAGE_TEXT_TOP "$(ComponentsTop)"
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION StartPivotel
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; English first: a system whose UI language is neither gets English.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

LangString ComponentsTop ${LANG_ENGLISH} "Pivotel is installed for you alone, in a folder of your own: it keeps its settings (setting.ini) beside pivotel.exe."
LangString ComponentsTop ${LANG_JAPANESE} "Pivotel はあなた専用のフォルダーにインストールされます。設定 (setting.ini) は pivotel.exe と同じフォルダーに保存されます。"
LangString SecMainName ${LANG_ENGLISH} "Pivotel (required)"
LangString SecMainName ${LANG_JAPANESE} "Pivotel (必須)"
LangString SecLogonName ${LANG_ENGLISH} "Start Pivotel when I log on"
LangString SecLogonName ${LANG_JAPANESE} "ログオン時に Pivotel を起動する"
LangString MsgNotWritable ${LANG_ENGLISH} "You cannot write to this folder:$\r$\n$INSTDIR$\r$\n$\r$\nPivotel saves its settings beside pivotel.exe, so they could not be saved there. Please choose a folder you can write to, such as one in your user profile."
LangString MsgNotWritable ${LANG_JAPANESE} "このフォルダーには書き込めません:$\r$\n$INSTDIR$\r$\n$\r$\nPivotel は設定を pivotel.exe と同じフォルダーに保存するため、ここでは設定を保存できません。ユーザー プロファイル内など、書き込めるフォルダーを選んでください。"
LangString MsgCannotClose ${LANG_ENGLISH} "Pivotel is running and did not exit.$\r$\nPlease exit it from its notification area icon, then choose Retry."
LangString MsgCannotClose ${LANG_JAPANESE} "Pivotel が実行中で、終了しませんでした。$\r$\n通知領域のアイコンから Pivotel を終了してから [再試行] を選んでください。"
LangString MsgRemoveSettings ${LANG_ENGLISH} "Remove your Pivotel settings (setting.ini) too?$\r$\n$\r$\nChoose No to keep them for a later install."
LangString MsgRemoveSettings ${LANG_JAPANESE} "Pivotel の設定 (setting.ini) も削除しますか?$\r$\n$\r$\n後でもう一度インストールするときのために残すには [いいえ] を選んでください。"

; The icons that ship, one "!insertmacro SHIPPED_ICON name" line each: what the installer writes
; and all that the uninstaller removes from icons\, so icons the user added there stay.
!tempfile SHIPPED_ICONS
!system `cd "${RES_DIR}/icons" && ls *.ico | sed 's/.*/!insertmacro SHIPPED_ICON "&"/' > "${SHIPPED_ICONS}"` = 0

; Ends the Pivotel that runs from $INSTDIR the way its tray menu's Exit does, so it finishes what it
; is saving, and waits for the process to end, which frees pivotel.exe; aborts when it would not end.
; A Pivotel running from another folder is not this installation's and is left alone.
!macro CLOSE_PIVOTEL un
Function ${un}ClosePivotel
    StrCpy $5 0
    ${Do}
        FindWindow $0 "${MAIN_CLASS}" "" 0 $5
        ${IfThen} $0 = 0 ${|} ${Break} ${|}
        StrCpy $5 $0
        System::Call 'user32::GetWindowThreadProcessId(p r0, *i 0 r1)'
        ; SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION: its file name, and a wait for its end.
        System::Call 'kernel32::OpenProcess(i 0x00101000, i 0, i r1) p .r2'
        ${IfThen} $2 P= 0 ${|} ${Continue} ${|}
        System::Call 'kernel32::QueryFullProcessImageNameW(p r2, i 0, w .r6, *i ${NSIS_MAX_STRLEN})'
        ; StrCmp ignores case, as the file system does.
        ${If} $6 == "$INSTDIR\pivotel.exe"
            System::Call 'user32::PostMessageW(p r0, i ${WM_COMMAND}, p ${IDC_TRAY_EXIT}, p 0)'
            System::Call 'kernel32::WaitForSingleObject(p r2, i ${EXIT_WAIT_MS}) i .r3'
            ${If} $3 <> 0
                System::Call 'kernel32::CloseHandle(p r2)'
                MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(MsgCannotClose)" /SD IDCANCEL IDRETRY retry
                Abort
                retry:
                StrCpy $2 0
            ${EndIf}
            ; The list of windows has changed: search it again from the top.
            StrCpy $5 0
        ${EndIf}
        ${If} $2 P<> 0
            System::Call 'kernel32::CloseHandle(p r2)'
        ${EndIf}
    ${Loop}
FunctionEnd
!macroend
!insertmacro CLOSE_PIVOTEL ""
!insertmacro CLOSE_PIVOTEL "un."

; $0 is 1 when a file can be made in $INSTDIR, else 0; a folder made only to try is removed.
Function TryWrite
    StrCpy $FolderExisted 0
    ${IfThen} ${FileExists} "$INSTDIR\*.*" ${|} StrCpy $FolderExisted 1 ${|}
    CreateDirectory "$INSTDIR"
    ClearErrors
    FileOpen $0 "$INSTDIR\pivotel-write-test.tmp" w
    ${If} ${Errors}
        StrCpy $0 0
    ${Else}
        FileClose $0
        Delete "$INSTDIR\pivotel-write-test.tmp"
        StrCpy $0 1
    ${EndIf}
    ${If} $FolderExisted = 0
        RMDir "$INSTDIR"
    ${EndIf}
FunctionEnd

Function DirectoryLeave
    Call TryWrite
    ${If} $0 = 0
        MessageBox MB_OK|MB_ICONEXCLAMATION "$(MsgNotWritable)"
        Abort
    ${EndIf}
FunctionEnd

Function StartPivotel
    Exec '"$INSTDIR\pivotel.exe"'
FunctionEnd

Section "$(SecMainName)" SecMain
    SectionIn RO
    Call ClosePivotel
    SetOutPath "$INSTDIR"
    ClearErrors
    File "/oname=pivotel.exe" "${PIVOTEL_EXE}"
    ; The user's settings are theirs: only a folder without any gets the default ones.
    ${IfNot} ${FileExists} "$INSTDIR\setting.ini"
        File "${RES_DIR}/setting.ini"
    ${EndIf}
    SetOutPath "$INSTDIR\icons"
    !macro SHIPPED_ICON name
        File "${RES_DIR}/icons/${name}"
    !macroend
    !include "${SHIPPED_ICONS}"
    !macroundef SHIPPED_ICON
    ; A file that could not be written (a quiet install ignores it) leaves no half install registered.
    ${If} ${Errors}
        Abort "$(MsgNotWritable)"
    ${EndIf}
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\Uninstall.exe"
    CreateShortcut "$SMPROGRAMS\Pivotel.lnk" "$INSTDIR\pivotel.exe" "" "$INSTDIR\pivotel.exe" 0

    WriteRegStr HKCU "${UNINST_KEY}" "DisplayName" "Pivotel"
    WriteRegStr HKCU "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINST_KEY}" "Publisher" "Pivotel"
    WriteRegStr HKCU "${UNINST_KEY}" "DisplayIcon" '"$INSTDIR\pivotel.exe",0'
    WriteRegStr HKCU "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINST_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKCU "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINST_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINST_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINST_KEY}" "EstimatedSize" $0
    ; An upgrade without the logon start must not keep the old one.
    DeleteRegValue HKCU "${RUN_KEY}" "Pivotel"
SectionEnd

Section "$(SecLogonName)" SecLogon
    WriteRegStr HKCU "${RUN_KEY}" "Pivotel" '"$INSTDIR\pivotel.exe"'
SectionEnd

Function .onInit
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/NOLOGON" $1
    ${IfNot} ${Errors}
        !insertmacro UnselectSection ${SecLogon}
    ${EndIf}
    ; A quiet install has no folder page to refuse an unwritable folder on.
    ${If} ${Silent}
        Call TryWrite
        ${If} $0 = 0
            MessageBox MB_OK|MB_ICONEXCLAMATION "$(MsgNotWritable)" /SD IDOK
            SetErrorLevel 2
            Quit
        ${EndIf}
    ${EndIf}
FunctionEnd

; A quiet install has no finish page: Pivotel starts as its check box would have started it.
Function .onInstSuccess
    ${If} ${Silent}
        Call StartPivotel
    ${EndIf}
FunctionEnd

Section "Uninstall"
    Call un.ClosePivotel
    Delete "$INSTDIR\pivotel.exe"
    !macro SHIPPED_ICON name
        Delete "$INSTDIR\icons\${name}"
    !macroend
    !include "${SHIPPED_ICONS}"
    !macroundef SHIPPED_ICON
    RMDir "$INSTDIR\icons"
    Delete "$INSTDIR\Uninstall.exe"
    Delete "$SMPROGRAMS\Pivotel.lnk"
    DeleteRegValue HKCU "${RUN_KEY}" "Pivotel"
    DeleteRegKey HKCU "${UNINST_KEY}"
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "$(MsgRemoveSettings)" /SD IDNO IDNO keep
    Delete "$INSTDIR\setting.ini"
    keep:
    ; Only an empty folder goes: whatever the user keeps there stays with it.
    RMDir "$INSTDIR"
SectionEnd

!delfile "${SHIPPED_ICONS}"

; Per-user installer of Pelinor: no administrator rights, everything under the user's profile
; and HKEY_CURRENT_USER. Built by `scripts/build installer`, which defines
;   VERSION  the program's four-part version
;   BUILD    the release tree holding pelinor.exe and the help file
;   ICON     the program's icon
;   OUTFILE  the installer to write
; Command line: /S installs silently (and starts the program at the end); /D=folder picks the
; folder (last on the line). Anything else, such as the "?update=true" the program's updater
; passes, is ignored. The uninstaller takes /S and /REMOVESETTINGS (the "remove my settings" box).
Unicode true
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh
!include WinMessages.nsh

!define PRODUCT "Pelinor"
!define PUBLISHER "Pelinor"
!define EXE "pelinor.exe"
!define HELP "使用说明.txt"
!define UNINSTALLER "uninstall.exe"
!define SHORTCUT "$SMPROGRAMS\Pelinor.lnk"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Pelinor"
; The program's own registry values: auto-start, and where it last ran from.
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "Pelinor"
!define PROGRAM_KEY "Software\Pelinor"
; A running copy: its hidden main window (which quits on command 2, as its menu's "退出" does)
; and its instance event, which exists until the process has ended.
!define MAIN_WINDOW_CLASS "#32770"
!define MAIN_WINDOW_TITLE "Dorvane"
!define QUIT_COMMAND 2
!define INSTANCE_EVENT "Global\PelinorLiveEvent"
!define EVENT_MODIFY_STATE 2
!define PROCESS_QUERY_LIMITED_INFORMATION 0x1000
!define QUIT_WAIT_MS 10000
; The per-user data folder the program keeps data.dat, statistics.dat and adverts in.
!define DATA_FOLDER "$LOCALAPPDATA\Vessaly"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Pelinor"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "现在启动 Pelinor"
!define MUI_FINISHPAGE_RUN_FUNCTION StartProgram
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!define MUI_COMPONENTSPAGE_TEXT_TOP "默认保留您的小工具、订阅和设置，重新安装后可以继续使用。"
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "SimpChinese"

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileDescription" "${PRODUCT} 安装程序"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "LegalCopyright" "© ${PUBLISHER}"

; Asks every running copy of the program to quit and waits until none runs any more. Shows
; a message and ends the (un)installer, before anything has been changed, when a copy is
; still running after QUIT_WAIT_MS.
!macro CLOSE_RUNNING_COPY un
Function ${un}CloseRunningCopy
  Push $0
  Push $1
  Push $2
  Push $3
  StrCpy $0 0
  ${Do}
    FindWindow $0 "${MAIN_WINDOW_CLASS}" "${MAIN_WINDOW_TITLE}" "" $0
    ${If} $0 = 0
      ${Break}
    ${EndIf}
    ; Only a window of a process running pelinor.exe is ours to close.
    System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r1)'
    System::Call 'kernel32::OpenProcess(i ${PROCESS_QUERY_LIMITED_INFORMATION}, i 0, i r1) p.r2'
    StrCpy $3 ""
    ${If} $2 P<> 0
      System::Call 'kernel32::QueryFullProcessImageNameW(p r2, i 0, w.r3, *i ${NSIS_MAX_STRLEN})'
      System::Call 'kernel32::CloseHandle(p r2)'
    ${EndIf}
    ${GetFileName} $3 $3
    ${If} $3 == "${EXE}"
      DetailPrint "正在关闭正在运行的 ${PRODUCT}..."
      SendMessage $0 ${WM_COMMAND} ${QUIT_COMMAND} 0 /TIMEOUT=5000
    ${EndIf}
  ${Loop}

  StrCpy $1 0
  ${Do}
    System::Call 'kernel32::OpenEventW(i ${EVENT_MODIFY_STATE}, i 0, w "${INSTANCE_EVENT}") p.r2'
    ${If} $2 P= 0
      ${Break}
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r2)'
    ${If} $1 >= ${QUIT_WAIT_MS}
      MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} 仍在运行，没有在 $1 毫秒内退出。$\r$\n请在小工具菜单中选择“退出软件”，然后重新运行本程序。" /SD IDOK
      SetErrorLevel 3
      Quit
    ${EndIf}
    Sleep 250
    IntOp $1 $1 + 250
  ${Loop}
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro CLOSE_RUNNING_COPY ""
!insertmacro CLOSE_RUNNING_COPY "un."

Function StartProgram
  SetOutPath "$INSTDIR"
  Exec '"$INSTDIR\${EXE}"'
FunctionEnd

Section "Pelinor" SecProgram
  SectionIn RO
  Call CloseRunningCopy
  SetOutPath "$INSTDIR"
  File "${BUILD}/${EXE}"
  File "${BUILD}/${HELP}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  CreateShortcut "${SHORTCUT}" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EXE},0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "开机时自动启动" SecAutoStart
  ; The same value, in the same form, as the program's own "开机启动" menu item writes.
  WriteRegStr HKCU "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\${EXE}"'
SectionEnd

Section "-Finish"
  ${IfNot} ${SectionIsSelected} ${SecAutoStart}
    ReadRegStr $0 HKCU "${RUN_KEY}" "${RUN_VALUE}"
    ${If} $0 == '"$INSTDIR\${EXE}"'
      DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
    ${EndIf}
  ${EndIf}
  ; Interactive installations start it from the finish page's box.
  ${If} ${Silent}
    Call StartProgram
  ${EndIf}
SectionEnd

Section "un.Pelinor" UnSecProgram
  SectionIn RO
  Call un.CloseRunningCopy
  ; Only the files the program and its installer put here: the folder may hold the user's own.
  Delete "$INSTDIR\${EXE}"
  Delete "$INSTDIR\${HELP}"
  Delete "$INSTDIR\log.txt"
  Delete "$INSTDIR\data.dat"
  Delete "$INSTDIR\data.tmp"
  Delete "$INSTDIR\data.bak"
  Delete "$INSTDIR\data-unreadable-*.dat"
  Delete "$INSTDIR\statistics.dat"
  Delete "$INSTDIR\statistics.tmp"
  Delete "$INSTDIR\statistics.bak"
  Delete "$INSTDIR\${UNINSTALLER}"
  Delete "${SHORTCUT}"

  ; The program's values go when they name this copy; another copy's stay.
  ReadRegStr $0 HKCU "${RUN_KEY}" "${RUN_VALUE}"
  ${If} $0 == '"$INSTDIR\${EXE}"'
    DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
  ${EndIf}
  ReadRegStr $0 HKCU "${PROGRAM_KEY}" "Location"
  ${If} $0 == "$INSTDIR\${EXE}"
    DeleteRegValue HKCU "${PROGRAM_KEY}" "Location"
  ${EndIf}
  DeleteRegKey /ifempty HKCU "${PROGRAM_KEY}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

Section /o "un.删除我的设置（小工具、订阅和使用统计）" UnSecSettings
  Delete "${DATA_FOLDER}\data.dat"
  Delete "${DATA_FOLDER}\data.tmp"
  Delete "${DATA_FOLDER}\data.bak"
  Delete "${DATA_FOLDER}\data-unreadable-*.dat"
  Delete "${DATA_FOLDER}\statistics.dat"
  Delete "${DATA_FOLDER}\statistics.tmp"
  Delete "${DATA_FOLDER}\statistics.bak"
  RMDir /r "${DATA_FOLDER}\adv"
  ; The folder may be shared with the maker's other programs: removed only when empty.
  RMDir "${DATA_FOLDER}"
SectionEnd

Section "-un.Finish"
  ; Last, so that the program folder going away means the uninstallation is complete.
  RMDir "$INSTDIR"
SectionEnd

; Set-up of the pages, after the sections they select.
Function .onInit
  ; Reinstalling keeps the user's auto-start choice: the box starts ticked on a first
  ; installation, and on an upgrade only when this copy is registered already.
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "UninstallString"
  ${If} $0 != ""
    ReadRegStr $0 HKCU "${RUN_KEY}" "${RUN_VALUE}"
    ${If} $0 != '"$INSTDIR\${EXE}"'
      !insertmacro UnselectSection ${SecAutoStart}
    ${EndIf}
  ${EndIf}
FunctionEnd

Function un.onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVESETTINGS" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${UnSecSettings}
  ${EndIf}
FunctionEnd

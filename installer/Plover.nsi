; Setup of both test programs and the driver control, for the whole machine.
;
; makensis /INPUTCHARSET UTF8 -DVERSION=1.6.0.62 -DBINDIR=build/win/bin -DBINDIR64=build/win64/bin
;          -DOUTFILE=PloverSetup.exe installer/Plover.nsi
;
; On 64-bit Windows the x86_64 driver goes into the folder x64 beside the
; 32-bit one and is registered in the 64-bit view of the registry, so that
; 64-bit programs find the same class, ProgID and type library.
;
; The folder's access rights are what lets an ordinary user keep PloverCmd's
; settings beside the program without being able to change the programs: see
; Rights.nsh and the README's "Установка на Windows".

Unicode true
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!ifndef VERSION | BINDIR | BINDIR64 | OUTFILE
  !error "makensis needs -DVERSION=... -DBINDIR=... -DBINDIR64=... -DOUTFILE=..."
!endif

!define PRODUCT "Plover"
!define DISPLAY_NAME "Plover — тесты ККМ"
!define MAKER "ООО «Ржанка»"
!define MAKER_URL "http://rzhanka.test"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Plover"
!define UNINSTALLER "uninstall.exe"
!define SHORTCUT_TST "Тест драйвера ККМ"
!define SHORTCUT_CMD "Тест команд"
!define DIR64 "x64"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh
!include x64.nsh
!include "Rights.nsh"

Name "${DISPLAY_NAME}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\${PRODUCT}"
BrandingText "${MAKER}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=1049 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1049 "CompanyName" "${MAKER}"
VIAddVersionKey /LANG=1049 "FileDescription" "Установка ${DISPLAY_NAME}"
VIAddVersionKey /LANG=1049 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "LegalCopyright" "© ${MAKER}"
VIAddVersionKey /LANG=1049 "OriginalFilename" "PloverSetup-${VERSION}.exe"

!define MUI_ICON "PloverSetup.ico"
!define MUI_UNICON "PloverSetup.ico"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\PloverTst.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Запустить «${SHORTCUT_TST}»"
!define MUI_FINISHPAGE_RUN_NOTCHECKED
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Russian"

; ---------------------------------------------------------------- install

; The 64-bit driver is registered by the system's 64-bit regsvr32: this setup
; is a 32-bit program and cannot load a 64-bit library itself. UNREGISTER:
; "" to register, "/u " to remove; regsvr32's exit code is left on the stack.
!macro RegSvr64 UNREGISTER
  ${DisableX64FSRedirection}
  ExecWait '"$WINDIR\System32\regsvr32.exe" /s ${UNREGISTER}"$INSTDIR\${DIR64}\PloverDrv.dll"' $R9
  ${EnableX64FSRedirection}
  Push $R9
!macroend

; Program Files, the machine's registry and the rights of the folder need an
; administrator; without one the setup would fail half-way.
!macro RequireAdmin
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_ICONSTOP|MB_OK "Для установки и удаления нужны права администратора." /SD IDOK
    SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
    Quit
  ${EndIf}
!macroend

Function .onInit
  !insertmacro RequireAdmin
  SetShellVarContext all
FunctionEnd

; An earlier installation in another folder is removed first (its user files
; stay there), so the driver is registered from one place only and one entry
; in the installed-programs list stands for it.
Function RemoveEarlierInstallation
  ReadRegStr $0 HKLM "${UNINST_KEY}" "InstallLocation"
  ${If} $0 == ""
  ${OrIf} $0 == $INSTDIR
    Return
  ${EndIf}
  ${IfNot} ${FileExists} "$0\${UNINSTALLER}"
    Return
  ${EndIf}
  DetailPrint "Удаление прежней установки: $0"
  ; _?= runs the uninstaller in place, so ExecWait waits for it to end.
  ExecWait '"$0\${UNINSTALLER}" /S _?=$0'
  Delete "$0\${UNINSTALLER}"
  RMDir "$0"
FunctionEnd

Section "Программы" SecMain
  SectionIn RO
  Call RemoveEarlierInstallation

  ; The folder's rights are set only on a folder this setup makes (or made
  ; before): an existing folder of someone else's keeps the rights it has.
  ReadRegDWORD $1 HKLM "${UNINST_KEY}" "FolderCreated"
  ReadRegStr $2 HKLM "${UNINST_KEY}" "InstallLocation"
  ${If} $2 != $INSTDIR
    StrCpy $1 0
  ${EndIf}
  ${IfNot} ${FileExists} "$INSTDIR\*.*"
    CreateDirectory "$INSTDIR"
    StrCpy $1 1
  ${EndIf}
  ${If} $1 = 1
    !insertmacro SetRights "$INSTDIR" "${RIGHTS_FOLDER}"
  ${Else}
    DetailPrint "Папка $INSTDIR уже была: её права не изменены"
  ${EndIf}

  SetOutPath "$INSTDIR"
  SetOverwrite on
  File "${BINDIR}/PloverTst.exe"
  File "${BINDIR}/PloverCmd.exe"
  File "${BINDIR}/PloverDrv.dll"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  !insertmacro SetRights "$INSTDIR\PloverTst.exe" "${RIGHTS_PROGRAM}"
  !insertmacro SetRights "$INSTDIR\PloverCmd.exe" "${RIGHTS_PROGRAM}"
  !insertmacro SetRights "$INSTDIR\PloverDrv.dll" "${RIGHTS_PROGRAM}"
  !insertmacro SetRights "$INSTDIR\${UNINSTALLER}" "${RIGHTS_PROGRAM}"

  ; The programs find the driver by its ProgID: registered for the machine,
  ; in the 32-bit view of the registry that 32-bit programs read.
  ClearErrors
  RegDLL "$INSTDIR\PloverDrv.dll"
  ${If} ${Errors}
    DetailPrint "Драйвер PloverDrv.dll не зарегистрирован"
    SetErrorLevel 3
    MessageBox MB_ICONSTOP|MB_OK "Не удалось зарегистрировать драйвер PloverDrv.dll.$\r$\nПрограммы не смогут работать с ККМ." /SD IDOK
  ${Else}
    DetailPrint "Драйвер PloverDrv.dll зарегистрирован"
  ${EndIf}

  ; 64-bit programs (a cash desk's own software, say) load only a 64-bit
  ; driver: it has a folder of its own, which no user may add files to, since
  ; a library put beside it would be loaded with it.
  ${If} ${RunningX64}
    CreateDirectory "$INSTDIR\${DIR64}"
    !insertmacro SetRights "$INSTDIR\${DIR64}" "${RIGHTS_PROGRAM}"
    SetOutPath "$INSTDIR\${DIR64}"
    File "${BINDIR64}/PloverDrv.dll"
    !insertmacro SetRights "$INSTDIR\${DIR64}\PloverDrv.dll" "${RIGHTS_PROGRAM}"
    SetOutPath "$INSTDIR"
    !insertmacro RegSvr64 ""
    Pop $0
    ${If} $0 != 0
      DetailPrint "64-разрядный драйвер PloverDrv.dll не зарегистрирован (код $0)"
      SetErrorLevel 3
      MessageBox MB_ICONSTOP|MB_OK "Не удалось зарегистрировать 64-разрядный драйвер PloverDrv.dll.$\r$\n64-разрядные программы не смогут работать с ККМ." /SD IDOK
    ${Else}
      DetailPrint "64-разрядный драйвер PloverDrv.dll зарегистрирован"
    ${EndIf}
  ${EndIf}

  ; The working folder of both shortcuts is the program folder.
  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${SHORTCUT_TST}.lnk" "$INSTDIR\PloverTst.exe" "" "$INSTDIR\PloverTst.exe" 0
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${SHORTCUT_CMD}.lnk" "$INSTDIR\PloverCmd.exe" "" "$INSTDIR\PloverCmd.exe" 0

  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${DISPLAY_NAME}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${MAKER}"
  WriteRegStr HKLM "${UNINST_KEY}" "URLInfoAbout" "${MAKER_URL}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\PloverTst.exe,0"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "FolderCreated" $1
  ${GetSize} "$INSTDIR" "/S=0K" $3 $4 $5
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $3
SectionEnd

; ---------------------------------------------------------------- uninstall

Section "un.Программы, драйвер и ярлыки" SecUnMain
  SectionIn RO
  ; The driver removes its own class, ProgIDs and type library.
  ClearErrors
  UnRegDLL "$INSTDIR\PloverDrv.dll"
  ${If} ${Errors}
    DetailPrint "Регистрация драйвера PloverDrv.dll не снята"
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\${DIR64}\PloverDrv.dll"
    !insertmacro RegSvr64 "/u "
    Pop $0
    ${If} $0 != 0
      DetailPrint "Регистрация 64-разрядного драйвера PloverDrv.dll не снята (код $0)"
    ${EndIf}
    Delete "$INSTDIR\${DIR64}\PloverDrv.dll"
    RMDir "$INSTDIR\${DIR64}"
  ${EndIf}
  Delete "$INSTDIR\PloverTst.exe"
  Delete "$INSTDIR\PloverCmd.exe"
  Delete "$INSTDIR\PloverDrv.dll"
  ; Left by a save that was cut short (the programs' temporary names end in
  ; ".~XXXXXXXX.tmp"); never the user's data.
  Delete "$INSTDIR\PloverCmd.ini.~*.tmp"
  Delete "$INSTDIR\${UNINSTALLER}"

  Delete "$SMPROGRAMS\${PRODUCT}\${SHORTCUT_TST}.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\${SHORTCUT_CMD}.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
SectionEnd

Section /o "un.Настройки и сохранённые файлы" SecUserData
  ReadRegDWORD $0 HKLM "${UNINST_KEY}" "FolderCreated"
  ReadRegStr $1 HKLM "${UNINST_KEY}" "InstallLocation"
  ${If} $0 = 1
  ${AndIf} $1 == $INSTDIR
    ; The folder is the setup's own: whatever the users kept in it goes.
    RMDir /r "$INSTDIR"
  ${Else}
    Delete "$INSTDIR\PloverCmd.ini"
  ${EndIf}
  ; The driver's settings of the user who uninstalls.
  DeleteRegKey HKCU "Software\PloverDrv"
SectionEnd

Section "-un.Finish"
  DeleteRegKey HKLM "${UNINST_KEY}"
  ; Stays while it holds PloverCmd.ini or saved files.
  RMDir "$INSTDIR"
SectionEnd

Function un.onInit
  !insertmacro RequireAdmin
  SetShellVarContext all
  ; /PURGE: the user's settings and saved files go too (silent runs have no
  ; components page to tick it on).
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/PURGE" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecUserData}
  ${EndIf}
FunctionEnd

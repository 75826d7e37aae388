; Vexaro setup: a per-user install of Vexaro.exe and the Quenta toolbar band.
;
; Built by installer/build (make installer), which passes:
;   VERSION   product version, "1.2.0"
;   STAGE     folder holding the files to ship (stripped copies of the win64 build)
;   OUTFILE   the setup program to write
; The stage holds Vexaro.exe, Quenta.dll, the album component (ALBUM_DLL) and the manual.
;
; The band registers itself machine-wide (HKLM toolbar entry, HKCR class): that needs an
; administrator, although the files, InstallPath and the uninstall entry belong to the user.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true

!ifndef VERSION
  !error "installer/build passes VERSION, STAGE and OUTFILE"
!endif
!ifndef STAGE
  !error "installer/build passes VERSION, STAGE and OUTFILE"
!endif
!ifndef OUTFILE
  !error "installer/build passes VERSION, STAGE and OUTFILE"
!endif
!ifndef ALBUM_DLL
  !define ALBUM_DLL "ThumbnailCreator.dll"
!endif

!define PRODUCT "Vexaro"
!define PUBLISHER "Norlume"
!define PRODUCT_KEY "SOFTWARE\Norlume\Vexaro"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vexaro"
!define UNINSTALLER "uninstall.exe"
; The longest name the program keeps in its folder is "History\2004-03-25"; with the folder it
; must stay within MAX_PATH, and InstallPath within the band's 260-byte buffer.
!define MAX_FOLDER_CHARS 240
!define IDYES 6
!define IDNO 7

!include MUI2.nsh
!include LogicLib.nsh

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Norlume\Vexaro"
; An upgrade goes where the installed copy is.
InstallDirRegKey HKCU "${PRODUCT_KEY}" "InstallPath"
RequestExecutionLevel admin
ShowInstDetails show
BrandingText "${PUBLISHER} ${PRODUCT} ${VERSION}"
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\Vexaro.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Sets $0 to an error text when the folder cannot hold the program, else to "".
; The program and the band read the folder through the ANSI code page: a name it cannot
; represent would reach them as "?" and name another folder.
!macro CheckFolder
  StrCpy $0 ""
  StrLen $1 $INSTDIR
  ${If} $1 > ${MAX_FOLDER_CHARS}
    StrCpy $0 "The folder name is too long (at most ${MAX_FOLDER_CHARS} characters)."
  ${Else}
    ; WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, ...) with lpUsedDefaultChar.
    System::Call 'kernel32::WideCharToMultiByte(i 0, i 0x400, w "$INSTDIR", i -1, p 0, i 0, p 0, *i 0 r2) i .r1'
    ${If} $1 = 0
    ${OrIf} $2 <> 0
      StrCpy $0 "The folder name holds characters that this system's code page cannot represent. Choose a folder whose name has none."
    ${EndIf}
  ${EndIf}
!macroend

; Makes way for a new copy of $INSTDIR\NAME. A running browser keeps the band loaded (and a
; running Vexaro its program), and Windows overwrites no loaded module; but it can be renamed,
; and the renamed copy goes at the next restart.
!macro MakeWayFor NAME
  ${If} ${FileExists} "$INSTDIR\${NAME}"
    ClearErrors
    Delete "$INSTDIR\${NAME}"
    ${If} ${Errors}
      StrCpy $R1 1
      ${DoWhile} ${FileExists} "$INSTDIR\${NAME}.old-$R1"
        IntOp $R1 $R1 + 1
      ${Loop}
      ClearErrors
      Rename "$INSTDIR\${NAME}" "$INSTDIR\${NAME}.old-$R1"
      ${If} ${Errors}
        MessageBox MB_OK|MB_ICONSTOP "$INSTDIR\${NAME} is in use and cannot be replaced. Close the browser and Vexaro, then run setup again." /SD IDOK
        SetErrorLevel 2
        Abort
      ${EndIf}
      Delete /REBOOTOK "$INSTDIR\${NAME}.old-$R1"
    ${EndIf}
  ${EndIf}
!macroend

Function .onVerifyInstDir
  !insertmacro CheckFolder
  ${If} $0 != ""
    Abort
  ${EndIf}
FunctionEnd

Section "Vexaro" SecMain
  SectionIn RO
  !insertmacro CheckFolder
  ${If} $0 != ""
    MessageBox MB_OK|MB_ICONSTOP "$0$\r$\n$\r$\n$INSTDIR" /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}

  SetOutPath "$INSTDIR"
  !insertmacro MakeWayFor Vexaro.exe
  File "${STAGE}\Vexaro.exe"
  !insertmacro MakeWayFor Quenta.dll
  File "${STAGE}\Quenta.dll"
  File "${STAGE}\quenta.chm"
  !insertmacro MakeWayFor "${ALBUM_DLL}"
  File "${STAGE}\${ALBUM_DLL}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  ; No trailing backslash: the band appends "\Vexaro.exe" and "\cacheurl.xml" itself.
  WriteRegStr HKCU "${PRODUCT_KEY}" "InstallPath" "$INSTDIR"

  CreateDirectory "$SMPROGRAMS\Vexaro"
  CreateShortcut "$SMPROGRAMS\Vexaro\Vexaro.lnk" "$INSTDIR\Vexaro.exe"
  CreateShortcut "$SMPROGRAMS\Vexaro\Vexaro User Manual.lnk" "$INSTDIR\quenta.chm"

  SectionGetSize ${SecMain} $0
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Vexaro.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1

  ; Registered last: when a server refuses, what is installed so far can be removed through
  ; the uninstall entry above.
  ClearErrors
  RegDLL "$INSTDIR\Quenta.dll"
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONSTOP "The browser toolbar (Quenta.dll) could not be registered." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
  ClearErrors
  RegDLL "$INSTDIR\${ALBUM_DLL}"
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONSTOP "The album component (${ALBUM_DLL}) could not be registered." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
SectionEnd

; Only what setup wrote goes. The save folder (by default "Download" in this folder) and the
; files in it stay, so the folder is removed only when nothing else is left in it.
Section "Uninstall"
  UnRegDLL "$INSTDIR\Quenta.dll"
  UnRegDLL "$INSTDIR\${ALBUM_DLL}"

  ; What a running browser or Vexaro still holds goes at the next restart.
  Delete /REBOOTOK "$INSTDIR\Vexaro.exe"
  Delete /REBOOTOK "$INSTDIR\Quenta.dll"
  Delete /REBOOTOK "$INSTDIR\Vexaro.exe.old-*"
  Delete /REBOOTOK "$INSTDIR\Quenta.dll.old-*"
  Delete "$INSTDIR\quenta.chm"
  Delete /REBOOTOK "$INSTDIR\${ALBUM_DLL}"
  Delete /REBOOTOK "$INSTDIR\${ALBUM_DLL}.old-*"
  ; The band's hand-over file: written for one start of Vexaro, no data of the user's.
  Delete "$INSTDIR\cacheurl.xml"

  Delete "$SMPROGRAMS\Vexaro\Vexaro.lnk"
  Delete "$SMPROGRAMS\Vexaro\Vexaro User Manual.lnk"
  RMDir "$SMPROGRAMS\Vexaro"

  DeleteRegValue HKCU "${PRODUCT_KEY}" "InstallPath"
  DeleteRegKey /ifempty HKCU "${PRODUCT_KEY}"
  DeleteRegKey /ifempty HKCU "SOFTWARE\Norlume"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"

  ; A silent uninstall keeps them. The question has a caption of its own, apart from the
  ; uninstaller's window.
  ${If} ${FileExists} "$INSTDIR\config.xml"
  ${OrIf} ${FileExists} "$INSTDIR\History\*.*"
    StrCpy $0 ${IDNO}
    ${IfNot} ${Silent}
      StrCpy $1 "Also delete your settings (config.xml) and your download history (the History folder)?$\r$\n$\r$\nThe files you downloaded are kept either way."
      ; MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2
      System::Call 'user32::MessageBoxW(p $HWNDPARENT, w r1, w "${PRODUCT}", i 0x124) i .r0'
    ${EndIf}
    ${If} $0 = ${IDYES}
      Delete "$INSTDIR\config.xml"
      RMDir /r "$INSTDIR\History"
    ${EndIf}
  ${EndIf}

  Delete "$INSTDIR\${UNINSTALLER}"
  ${If} ${RebootFlag}
    RMDir /REBOOTOK "$INSTDIR"
  ${Else}
    RMDir "$INSTDIR"
  ${EndIf}
  SetAutoClose true
SectionEnd

; The Windows setup program: installs the program folder into Program Files\Tolvani for
; all users (it asks for elevation), with a Start-menu shortcut, an entry in the system's
; list of installed programs, and "Open with" for the video files the add dialog offers,
; never taking over a file type's default program. The uninstaller removes exactly what
; the setup wrote; the user's converted files and the run log stay.
;
; CMake runs it (target tolvani_setup) with:
;   VERSION       the product version, e.g. 10.0.2
;   FILE_VERSION  four numbers for the version information, e.g. 10.0.2.0
;   FILES_NSH     the program folder's files, listed by cmake/setup_files.cmake
;   ICON          the application icon
;   OUT_FILE      where to write the setup program
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel admin

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "${FILES_NSH}"

!define PRODUCT "Tolvani"
!define PUBLISHER "The Tolvani developers"
!define EXE "tolvani.exe"
!define UNINSTALLER "uninstall.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define APP_KEY "Software\Classes\Applications\${EXE}"
!define PROGID "Tolvani.Video"
!define PROGID_KEY "Software\Classes\${PROGID}"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUT_FILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${FILE_VERSION}"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "LegalCopyright" "GPL-3.0-or-later"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; Simplified Chinese, the program's own language, is the first and so the default: an
; English Windows gets English, every other one Chinese.
!insertmacro MUI_LANGUAGE "SimpChinese"
!insertmacro MUI_LANGUAGE "English"

LangString NeedAdmin ${LANG_SIMPCHINESE} "安装 ${PRODUCT} 需要管理员权限。"
LangString NeedAdmin ${LANG_ENGLISH} "Installing ${PRODUCT} needs administrator rights."
LangString VideoFile ${LANG_SIMPCHINESE} "视频文件"
LangString VideoFile ${LANG_ENGLISH} "Video file"

; The extensions of the add dialog's video files, today's containers among them.
!macro ForEachVideoType MACRO
  !insertmacro ${MACRO} ".rm"
  !insertmacro ${MACRO} ".rmvb"
  !insertmacro ${MACRO} ".avi"
  !insertmacro ${MACRO} ".wmv"
  !insertmacro ${MACRO} ".asf"
  !insertmacro ${MACRO} ".mpg"
  !insertmacro ${MACRO} ".mpeg"
  !insertmacro ${MACRO} ".mp4"
  !insertmacro ${MACRO} ".3gp"
  !insertmacro ${MACRO} ".3g2"
  !insertmacro ${MACRO} ".3gpp2"
  !insertmacro ${MACRO} ".swf"
  !insertmacro ${MACRO} ".flv"
  !insertmacro ${MACRO} ".mov"
  !insertmacro ${MACRO} ".mkv"
  !insertmacro ${MACRO} ".webm"
  !insertmacro ${MACRO} ".m4v"
  !insertmacro ${MACRO} ".ts"
  !insertmacro ${MACRO} ".mts"
  !insertmacro ${MACRO} ".m2ts"
  !insertmacro ${MACRO} ".ogv"
!macroend

; Offered in "Open with" for the type; its default program is left as it is.
!macro OfferForType EXT
  WriteRegStr HKLM "${APP_KEY}\SupportedTypes" "${EXT}" ""
  WriteRegNone HKLM "Software\Classes\${EXT}\OpenWithProgids" "${PROGID}"
!macroend

; Takes the offer back, and the type's keys with it when the setup left them empty.
!macro WithdrawForType EXT
  DeleteRegValue HKLM "Software\Classes\${EXT}\OpenWithProgids" "${PROGID}"
  DeleteRegKey /ifempty HKLM "Software\Classes\${EXT}\OpenWithProgids"
  DeleteRegKey /ifempty HKLM "Software\Classes\${EXT}"
!macroend

!macro RequireAdmin
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "admin"
    MessageBox MB_ICONSTOP "$(NeedAdmin)" /SD IDOK
    SetErrorLevel 740  ; ERROR_ELEVATION_REQUIRED
    Quit
  ${EndIf}
!macroend

Function .onInit
  SetShellVarContext all
  SetRegView 64
  !insertmacro RequireAdmin
FunctionEnd

Function un.onInit
  SetShellVarContext all
  SetRegView 64
  !insertmacro RequireAdmin
FunctionEnd

Section
  SetOutPath "$INSTDIR"
  !insertmacro InstallProgramFiles
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  CreateShortcut "${SHORTCUT}" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0

  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EXE},0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

  ; "Open with": the application with the types it takes, and a file type of its own
  ; that each video type lists among its other programs.
  WriteRegStr HKLM "${APP_KEY}" "FriendlyAppName" "${PRODUCT}"
  WriteRegStr HKLM "${APP_KEY}\DefaultIcon" "" "$INSTDIR\${EXE},0"
  WriteRegStr HKLM "${APP_KEY}\shell\open\command" "" '"$INSTDIR\${EXE}" "%1"'
  WriteRegStr HKLM "${PROGID_KEY}" "" "$(VideoFile)"
  WriteRegStr HKLM "${PROGID_KEY}\DefaultIcon" "" "$INSTDIR\${EXE},0"
  WriteRegStr HKLM "${PROGID_KEY}\shell\open\command" "" '"$INSTDIR\${EXE}" "%1"'
  !insertmacro ForEachVideoType OfferForType
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'  ; SHCNE_ASSOCCHANGED
SectionEnd

Section "Uninstall"
  ; Only what the setup put there: the folder goes when nothing else is left in it.
  !insertmacro UninstallProgramFiles
  Delete /REBOOTOK "$INSTDIR\${UNINSTALLER}"
  RMDir /REBOOTOK "$INSTDIR"
  Delete "${SHORTCUT}"

  !insertmacro ForEachVideoType WithdrawForType
  DeleteRegKey HKLM "${PROGID_KEY}"
  DeleteRegKey HKLM "${APP_KEY}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

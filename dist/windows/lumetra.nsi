; The Windows installer: makensis -DVERSION=1.01 -DSTAGE=<installed folder> -DOUTFILE=<exe>
; Unattended: Lumetra-1.01-setup.exe /S [/RECORDER] [/D=C:\folder]; uninstall.exe /S.
; STAGE holds what `cmake --install` of the windows build put into a prefix (the zip's contents).
; A 64-bit installer for a 64-bit program: it runs where no 32-bit layer is (Wine without wine32).
Target amd64-unicode
SetCompressor /SOLID lzma
!include "MUI2.nsh"
!include "x64.nsh"
!include "FileFunc.nsh"

!ifndef VERSION
  !error "VERSION is not defined"
!endif
!ifndef STAGE
  !error "STAGE is not defined"
!endif
!ifndef OUTFILE
  !define OUTFILE "Lumetra-${VERSION}-setup.exe"
!endif

!define UNINSTKEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Lumetra"

Name "Lumetra ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Lumetra"
InstallDirRegKey HKLM "Software\Lumetra" "InstallDir"
RequestExecutionLevel admin
BrandingText "Lumetra ${VERSION}"

!define MUI_ICON "${STAGE}\lumetra.ico"
!define MUI_UNICON "${STAGE}\lumetra.ico"
!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\lumetra.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"


Function un.onInit
  SetRegView 64
FunctionEnd

Section "Lumetra (required)" SecMain
  SectionIn RO
  SetOutPath "$INSTDIR"
  ; Everything but the recorder, which is a choice of its own.
  File /r /x "lumetra-record.exe" "${STAGE}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "Software\Lumetra" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayName" "Lumetra"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTKEY}" "Publisher" "The Lumetra developers"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayIcon" "$INSTDIR\lumetra.exe"
  WriteRegStr HKLM "${UNINSTKEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTKEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTKEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTKEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTKEY}" "NoRepair" 1
  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\Lumetra"
  CreateShortcut "$SMPROGRAMS\Lumetra\Lumetra.lnk" "$INSTDIR\lumetra.exe"
  CreateShortcut "$SMPROGRAMS\Lumetra\Lumetra (simulated meter).lnk" "$INSTDIR\lumetra.exe" "--simulate"
  CreateShortcut "$SMPROGRAMS\Lumetra\Uninstall Lumetra.lnk" "$INSTDIR\uninstall.exe"
SectionEnd

Section /o "lumetra-record (the recorder without a window)" SecRecorder
  SetOutPath "$INSTDIR"
  File "${STAGE}\lumetra-record.exe"
SectionEnd

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "Lumetra needs a 64-bit Windows."
    Abort
  ${EndIf}
  SetRegView 64
  ; /RECORDER picks lumetra-record too, for an unattended (/S) install.
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/RECORDER" $1
  ${IfNot} ${Errors}
    SectionSetFlags ${SecRecorder} ${SF_SELECTED}
  ${EndIf}
FunctionEnd

LangString DESC_SecMain ${LANG_ENGLISH} "The program, its bridge libraries and the Start menu entries."
LangString DESC_SecRecorder ${LANG_ENGLISH} "lumetra-record.exe, which records meters from a command prompt or a service."
!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecMain} $(DESC_SecMain)
  !insertmacro MUI_DESCRIPTION_TEXT ${SecRecorder} $(DESC_SecRecorder)
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Lumetra\Lumetra.lnk"
  Delete "$SMPROGRAMS\Lumetra\Lumetra (simulated meter).lnk"
  Delete "$SMPROGRAMS\Lumetra\Uninstall Lumetra.lnk"
  RMDir "$SMPROGRAMS\Lumetra"
  ; Only what the installer put there: the list is written when the installer is built.
  !include "${STAGE}.files.nsh"
  Delete "$INSTDIR\lumetra-record.exe"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTKEY}"
  DeleteRegKey HKLM "Software\Lumetra"
SectionEnd

; The setup program of ZaDizuvOzar: puts the library under Program Files (the 64-bit view, the
; only one whose handlers a 64-bit Explorer loads), registers it, and adds an entry to "Add or
; remove programs" whose uninstaller unregisters and removes it again.
; makensis -DDLL=path\to\ZaDizuvOzar.dll -DOUTFILE=ZaDizuvOzar-setup.exe ZaDizuvOzar.nsi

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!ifndef DLL | OUTFILE
  !error "define DLL (the library to install) and OUTFILE (the setup program to write)"
!endif

!define PRODUCT "ZaDizuvOzar"
!define VERSION "1.0.0.1"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"

Name "${PRODUCT}"
Caption "${PRODUCT} ${VERSION} 安装"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show
LoadLanguageFile "${NSISDIR}\Contrib\Language files\SimpChinese.nlf"

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=2052 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=2052 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "FileDescription" "${PRODUCT} 安装程序"
VIAddVersionKey /LANG=2052 "LegalCopyright" "${PRODUCT}"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  SetRegView 64
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Install"
  SetOutPath "$INSTDIR"
  File "/oname=ZaDizuvOzar.dll" "${DLL}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; regsvr32 of the system directory (64-bit, as this setup program is) runs the library's
  ; own registration: the registry scripts and the type library.
  ExecWait '"$SYSDIR\regsvr32.exe" /s "$INSTDIR\ZaDizuvOzar.dll"' $0
  StrCmp $0 "0" registered
    MessageBox MB_ICONSTOP "无法注册 $INSTDIR\ZaDizuvOzar.dll (regsvr32: $0)" /SD IDOK
    Delete "$INSTDIR\ZaDizuvOzar.dll"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    SetErrorLevel 2
    Abort
  registered:

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  ExecWait '"$SYSDIR\regsvr32.exe" /s /u "$INSTDIR\ZaDizuvOzar.dll"'
  ; A library that Explorer still holds goes at the next restart.
  Delete /REBOOTOK "$INSTDIR\ZaDizuvOzar.dll"
  Delete "$INSTDIR\uninstall.exe"
  RMDir /REBOOTOK "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd

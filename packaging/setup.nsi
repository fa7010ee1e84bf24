; msx_qmr's setup program (NSIS 3, Unicode), built by scripts/package.sh:
;
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.8.0.11 -DDLL=build/win32/msx_qmr.dll
;            -DOUTFILE=out/package/msx_qmr-1.8.0.11-setup.exe packaging/setup.nsi
;
; It installs the 32-bit msx_qmr.dll into the host's external-function
; folder, which it looks for in this order: where this setup installed
; before, the install location of the host's uninstall entries, and the
; program folders. The folder is shown for confirmation or browsing.
;
; The settings file msx_qmr.ini beside the DLL carries TradeQuik's
; transaction number and last-seen bars, so setup writes it only when there
; is none (the documented defaults, with Directory and TradeQuik's Journal
; in a trade-files folder in the user's documents) and never touches an
; existing one; the uninstaller keeps it too.
;
; Silent: setup.exe /S [/D=FOLDER] (FOLDER last, without quotes). Exit code
; 0 when installed; 2 when /S found no host folder and no /D= was given, or
; the DLL could not be replaced (the host still running).

Unicode true
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma
AllowSkipFiles off
FileErrorText "$(DllInUse)" "$(DllInUse)"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WordFunc.nsh

!define HOSTFOLDER "External Function DLLs"
!define HOSTNAME "MetaStock"
!define UNINSTKEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\msx_qmr"
!define UNINSTALLER "msx_qmr-uninstall.exe"
!define JOURNAL "msx_qmr journal.csv"
!define TEMPLATE "TRANS_ID=%N;ACCOUNT=%A;CLIENT_CODE=%C;TYPE=%T;CLASSCODE=%M;SECCODE=%S;ACTION=NEW_ORDER;OPERATION=%O;PRICE=%P;QUANTITY=%Q;"

Name "msx_qmr ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "msx_qmr ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=0 "ProductName" "msx_qmr"
VIAddVersionKey /LANG=0 "FileDescription" "msx_qmr ${VERSION} setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "All rights reserved"

Var FoundText   ; how setup came to the folder, shown above it
Var TradeFolder ; the seeded Directory

!define MUI_ABORTWARNING
!define MUI_DIRECTORYPAGE_TEXT_TOP "$FoundText"
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "$(FolderLabel)"
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE CheckFolderName
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "$(FinishTitle)"
!define MUI_FINISHPAGE_TEXT "$(FinishText)"
!insertmacro MUI_PAGE_FINISH

!define MUI_UNCONFIRMPAGE_TEXT_TOP "$(UnConfirmText)"
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The first language is the default; Windows' display language picks the other.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Russian"
!include "setup-text.nsh"

; --- Finding the folder ---------------------------------------------------

; Sets $INSTDIR to BASE\External Function DLLs when that folder exists.
!macro TryHostBase BASE
  ${If} $INSTDIR == ""
  ${AndIf} "${BASE}" != ""
  ${AndIf} ${FileExists} "${BASE}\${HOSTFOLDER}\*.*"
    StrCpy $INSTDIR "${BASE}\${HOSTFOLDER}"
  ${EndIf}
!macroend

; $R0 = 1 when $R1 contains $R2 (letter case ignored), else 0.
Function Contains
  Push $R3
  Push $R4
  Push $R5
  StrLen $R3 $R2
  StrCpy $R4 0
  StrCpy $R0 0
  ${Do}
    StrCpy $R5 $R1 $R3 $R4
    ${If} $R5 == ""
      ${ExitDo}
    ${EndIf}
    ${If} $R5 == $R2
      StrCpy $R0 1
      ${ExitDo}
    ${EndIf}
    IntOp $R4 $R4 + 1
  ${Loop}
  Pop $R5
  Pop $R4
  Pop $R3
FunctionEnd

; The uninstall entries of one registry root in the current view: an entry
; whose DisplayName names the host gives its InstallLocation, or else the
; folder of its DisplayIcon (the host's program, "C:\...\MSWIN.EXE,0").
!macro ScanUninstallEntries ROOT
  StrCpy $0 0
  ${Do}
    EnumRegKey $1 ${ROOT} "Software\Microsoft\Windows\CurrentVersion\Uninstall" $0
    ${If} $1 == ""
    ${OrIf} $INSTDIR != ""
      ${ExitDo}
    ${EndIf}
    IntOp $0 $0 + 1
    ReadRegStr $R1 ${ROOT} "Software\Microsoft\Windows\CurrentVersion\Uninstall\$1" "DisplayName"
    StrCpy $R2 "${HOSTNAME}"
    Call Contains
    ${If} $R0 = 1
      ReadRegStr $2 ${ROOT} "Software\Microsoft\Windows\CurrentVersion\Uninstall\$1" "InstallLocation"
      !insertmacro TryHostBase "$2"
      ReadRegStr $2 ${ROOT} "Software\Microsoft\Windows\CurrentVersion\Uninstall\$1" "DisplayIcon"
      ${WordFind} "$2" "," "+1" $2
      ${WordReplace} "$2" '"' "" "+" $2
      ${GetParent} "$2" $2
      !insertmacro TryHostBase "$2"
    ${EndIf}
  ${Loop}
!macroend

; FOLDER\*\External Function DLLs and FOLDER\*\*\External Function DLLs.
Function ScanProgramFolder
  Exch $R9
  FindFirst $R0 $R1 "$R9\*.*"
  ${Do}
    ${If} $R1 == ""
    ${OrIf} $INSTDIR != ""
      ${ExitDo}
    ${EndIf}
    ${If} $R1 != "."
    ${AndIf} $R1 != ".."
    ${AndIf} ${FileExists} "$R9\$R1\*.*"
      !insertmacro TryHostBase "$R9\$R1"
      FindFirst $R2 $R3 "$R9\$R1\*.*"
      ${Do}
        ${If} $R3 == ""
        ${OrIf} $INSTDIR != ""
          ${ExitDo}
        ${EndIf}
        ${If} $R3 != "."
        ${AndIf} $R3 != ".."
          !insertmacro TryHostBase "$R9\$R1\$R3"
        ${EndIf}
        FindNext $R2 $R3
      ${Loop}
      FindClose $R2
    ${EndIf}
    FindNext $R0 $R1
  ${Loop}
  FindClose $R0
  Pop $R9
FunctionEnd

Function FindHostFolder
  ; Where this setup installed before: an upgrade goes to the same place.
  SetRegView 32
  ReadRegStr $2 HKLM "${UNINSTKEY}" "InstallLocation"
  ${If} $2 != ""
  ${AndIf} ${FileExists} "$2\*.*"
    StrCpy $INSTDIR $2
  ${EndIf}
  ${If} $INSTDIR == ""
    !insertmacro ScanUninstallEntries HKLM
    !insertmacro ScanUninstallEntries HKCU
    SetRegView 64
    !insertmacro ScanUninstallEntries HKLM
    SetRegView 32
  ${EndIf}
  ${If} $INSTDIR == ""
    Push $PROGRAMFILES32
    Call ScanProgramFolder
  ${EndIf}
  ${If} $INSTDIR == ""
  ${AndIf} $PROGRAMFILES64 != $PROGRAMFILES32
    Push $PROGRAMFILES64
    Call ScanProgramFolder
  ${EndIf}
  ${If} $INSTDIR == ""
    !insertmacro TryHostBase "$WINDIR\..\${HOSTNAME}"
  ${EndIf}
FunctionEnd

Function .onInit
  ${If} $INSTDIR != ""
    StrCpy $FoundText "$(FolderGiven)"
    Return
  ${EndIf}
  Call FindHostFolder
  ${If} $INSTDIR != ""
    StrCpy $FoundText "$(FolderFound)"
    Return
  ${EndIf}
  ${If} ${Silent}
    SetErrorLevel 2
    Quit
  ${EndIf}
  StrCpy $INSTDIR "$PROGRAMFILES32\${HOSTNAME}\${HOSTFOLDER}"
  StrCpy $FoundText "$(FolderNotFound)"
FunctionEnd

; A folder of another name is most likely a slip: ask before using it.
Function CheckFolderName
  ${GetFileName} "$INSTDIR" $0
  ${If} $0 != "${HOSTFOLDER}"
    MessageBox MB_YESNO|MB_ICONQUESTION "$(OtherFolderName)" /SD IDYES IDYES +2
    Abort
  ${EndIf}
FunctionEnd

; --- Installing -----------------------------------------------------------

; Writes the settings file with the documented defaults, the trade files
; going to a folder in the user's documents. TradeQuik's order switch, cap
; and order mode are written out as they behave when absent (orders on,
; no cap, one order per change), so that users find them to change; its
; journal goes beside the trade files.
Function SeedSettings
  SetShellVarContext current
  StrCpy $TradeFolder "$DOCUMENTS\msx_qmr trades"
  CreateDirectory "$TradeFolder"
  FileOpen $0 "$INSTDIR\msx_qmr.ini" w
  FileWrite $0 "[TradeFile]$\r$\n"
  FileWrite $0 "Author=noname$\r$\n"
  FileWrite $0 "Directory=$TradeFolder$\r$\n"
  FileWrite $0 "ClosePositionAtLastBar=no$\r$\n"
  FileWrite $0 "$\r$\n"
  FileWrite $0 "[TradeQuik]$\r$\n"
  FileWrite $0 "Account=$\r$\n"
  FileWrite $0 "ClientCode=$\r$\n"
  FileWrite $0 "File=$\r$\n"
  FileWrite $0 "Template=${TEMPLATE}$\r$\n"
  FileWrite $0 "Enabled=yes$\r$\n"
  FileWrite $0 "MaxQuantity=0$\r$\n"
  FileWrite $0 "Orders=Changes$\r$\n"
  FileWrite $0 "Journal=$TradeFolder\${JOURNAL}$\r$\n"
  FileClose $0
  DetailPrint "$(SettingsWritten)"
  ; Users may write the file, so that the host's writes reach it and not a
  ; per-user virtual store. On 64-bit Windows the system's own icacls (seen
  ; by this 32-bit program as Sysnative), else the one in its system folder.
  StrCpy $1 "$WINDIR\Sysnative\icacls.exe"
  ${IfNot} ${FileExists} $1
    StrCpy $1 "$SYSDIR\icacls.exe"
  ${EndIf}
  nsExec::ExecToLog '"$1" "$INSTDIR\msx_qmr.ini" /grant *S-1-5-32-545:M'
  Pop $2
  ${If} $2 == "0"
    DetailPrint "$(AccessGranted)"
  ${Else}
    DetailPrint "$(NoAccess)"
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(NoAccess)" /SD IDOK
  ${EndIf}
FunctionEnd

Section "msx_qmr"
  SetOutPath "$INSTDIR"
  File "/oname=msx_qmr.dll" "${DLL}"
  ${If} ${FileExists} "$INSTDIR\msx_qmr.ini"
    DetailPrint "$(SettingsKept)"
  ${Else}
    Call SeedSettings
  ${EndIf}

  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  SetRegView 32
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayName" "msx_qmr ${VERSION}"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTKEY}" "Publisher" "msx_qmr"
  WriteRegStr HKLM "${UNINSTKEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTKEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTKEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTKEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTKEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/M=msx_qmr.dll /S=0K /G=0" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTKEY}" "EstimatedSize" $0
SectionEnd

Function .onInstFailed
  SetErrorLevel 2
FunctionEnd

; --- Uninstalling ---------------------------------------------------------

Section "Uninstall"
  Delete "$INSTDIR\msx_qmr.dll"
  ${If} ${FileExists} "$INSTDIR\msx_qmr.dll"
    MessageBox MB_OK|MB_ICONSTOP "$(UnDllInUse)" /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
  Delete "$INSTDIR\${UNINSTALLER}"
  SetRegView 32
  DeleteRegKey HKLM "${UNINSTKEY}"
  ${If} ${FileExists} "$INSTDIR\msx_qmr.ini"
    DetailPrint "$(UnSettingsKept)"
  ${EndIf}
SectionEnd

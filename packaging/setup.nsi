; msx_qmr's setup program (NSIS 3, Unicode), built by scripts/package.sh:
;
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.8.0.11 -DDLL=build/win32/msx_qmr.dll
;            -DTESTER=build/win32/msxhost.exe -DGUIDE_DIR=build/guide-html
;            -DOUTFILE=out/package/msx_qmr-1.8.0.11-setup.exe packaging/setup.nsi
;
; GUIDE_DIR holds the user guides as HTML, guide.html and guide.ru.html.
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
; Everything else goes into a program folder of its own (by default
; msx_qmr in the 32-bit Program Files; on an upgrade, where it went before),
; on a page of its own: the guides, INSTALL.txt, the changelog, the licence,
; the settings example, the formula tester msxhost.exe with the bundled
; prices, and the uninstaller. Beside the tester, msxhost.lib holds the
; installed DLL's path, which the tester loads by default, and
; msxhost-prompt.cmd opens its command prompt in msx_qmr in the user's
; Documents. The Start menu's msx_qmr folder (for all users) holds the
; guide in English and in Russian and the tester's prompt.
;
; Silent: setup.exe /S [/TOOLS=FOLDER] [/D=FOLDER]: /TOOLS= names the
; program folder, /D= the host's folder (last, without quotes). Exit code 0
; when installed; 2 when /S found no host folder and no /D= was given, when
; /TOOLS= names no full path, or when the DLL could not be replaced (the
; host still running).

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
!define TOOLSNAME "msx_qmr"     ; the program folder's name and the Start menu folder's
!define POINTER "msxhost.lib"   ; beside the tester: the installed DLL's path
!define PROMPT "msxhost-prompt.cmd"
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
Var ToolsDir    ; the program folder
Var OldTools    ; the program folder of the installed copy, if any
Var HostDir     ; the uninstaller's: the host's folder with the DLL

!define MUI_ABORTWARNING
!define MUI_PAGE_HEADER_TEXT "$(FolderHeader)"
!define MUI_PAGE_HEADER_SUBTEXT "$(FolderSubheader)"
!define MUI_DIRECTORYPAGE_TEXT_TOP "$FoundText"
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "$(FolderLabel)"
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE CheckFolderName
!insertmacro MUI_PAGE_DIRECTORY
!define MUI_PAGE_HEADER_TEXT "$(ToolsHeader)"
!define MUI_PAGE_HEADER_SUBTEXT "$(ToolsSubheader)"
!define MUI_DIRECTORYPAGE_TEXT_TOP "$(ToolsText)"
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "$(ToolsLabel)"
!define MUI_DIRECTORYPAGE_VARIABLE $ToolsDir
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
  ; Setups before the program folder kept the uninstaller beside the DLL and
  ; recorded that folder as the install location.
  SetRegView 32
  ReadRegStr $2 HKLM "${UNINSTKEY}" "HostFolder"
  ${If} $2 == ""
    ReadRegStr $2 HKLM "${UNINSTKEY}" "InstallLocation"
    ${IfNot} ${FileExists} "$2\msx_qmr.dll"
      StrCpy $2 ""
    ${EndIf}
  ${EndIf}
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

; $ToolsDir: /TOOLS= when given, else where this setup put it before
; ($OldTools), else msx_qmr in the 32-bit Program Files. A folder with
; spaces may come as /TOOLS=C:\My Tools (up to the next " /"),
; /TOOLS="C:\My Tools" or, as Windows quotes one argument,
; "/TOOLS=C:\My Tools".
Function FindToolsFolder
  SetRegView 32
  ReadRegStr $1 HKLM "${UNINSTKEY}" "HostFolder"
  ${If} $1 != ""
    ReadRegStr $OldTools HKLM "${UNINSTKEY}" "InstallLocation"
  ${EndIf}
  ${GetParameters} $0
  ${WordReplace} $0 '"/TOOLS=' '/TOOLS="' "+" $0
  ClearErrors
  ${GetOptions} $0 "/TOOLS=" $1
  ${IfNot} ${Errors}
  ${AndIf} $1 != ""
    StrCpy $ToolsDir $1
    Return
  ${EndIf}
  StrCpy $ToolsDir $OldTools
  ${If} $ToolsDir == ""
    StrCpy $ToolsDir "$PROGRAMFILES32\${TOOLSNAME}"
  ${EndIf}
FunctionEnd

; $0 = 1 when $ToolsDir is a full path (C:\... or \\server\...), else 0.
Function IsFullToolsPath
  StrCpy $0 0
  StrCpy $1 $ToolsDir 2 1
  StrCpy $2 $ToolsDir 2
  ${If} $1 == ":\"
  ${OrIf} $2 == "\\"
    StrCpy $0 1
  ${EndIf}
FunctionEnd

Function .onInit
  Call FindToolsFolder
  ${If} ${Silent}
    Call IsFullToolsPath
    ${If} $0 = 0
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}
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

; Text files as Windows reads them (CR LF; a byte-order mark on those with
; Russian; the settings example and the command script plain ASCII without
; one), made at compile time into temporary files: WindowsText SYMBOL
; OPTION SOURCE defines SYMBOL as the converted copy's path. makensis runs
; in this script's folder, so the sources are named from here.
!macro WindowsText SYMBOL OPTION SOURCE
  !tempfile ${SYMBOL}
  !system '"./windows-text.sh" ${OPTION} "${SOURCE}" "${${SYMBOL}}"' = 0
!macroend
!insertmacro WindowsText INSTALL_TXT "" "../docs/INSTALL.txt"
!insertmacro WindowsText CHANGELOG_TXT "" "../CHANGELOG.txt"
!insertmacro WindowsText LICENSE_TXT "" "../LICENSE.txt"
!insertmacro WindowsText INI_EXAMPLE --ansi "../docs/msx_qmr.ini.example"
!insertmacro WindowsText PROMPT_CMD --ansi "${PROMPT}"

; Only the files setup put there: the program folder may be one the user
; chose, holding files of their own.
!macro RemoveProgramFiles DIR
  Delete "${DIR}\data\*.csv"
  Delete "${DIR}\data\formulas.txt"
  RMDir "${DIR}\data"
  Delete "${DIR}\guide.html"
  Delete "${DIR}\guide.ru.html"
  Delete "${DIR}\INSTALL.txt"
  Delete "${DIR}\CHANGELOG.txt"
  Delete "${DIR}\LICENSE.txt"
  Delete "${DIR}\msx_qmr.ini.example"
  Delete "${DIR}\msxhost.exe"
  Delete "${DIR}\${POINTER}"
  Delete "${DIR}\${PROMPT}"
  Delete "${DIR}\${UNINSTALLER}"
  RMDir "${DIR}"
!macroend

; The Start menu's entries, the tester's under either language's name.
!macro RemoveShortcuts
  SetShellVarContext all
  Delete "$SMPROGRAMS\${TOOLSNAME}\Guide.lnk"
  Delete "$SMPROGRAMS\${TOOLSNAME}\Руководство.lnk"
  Delete "$SMPROGRAMS\${TOOLSNAME}\Formula tester.lnk"
  Delete "$SMPROGRAMS\${TOOLSNAME}\Тестер формул.lnk"
  RMDir "$SMPROGRAMS\${TOOLSNAME}"
  SetShellVarContext current
!macroend

Section "msx_qmr"
  SetOutPath "$INSTDIR"
  File "/oname=msx_qmr.dll" "${DLL}"
  ${If} ${FileExists} "$INSTDIR\msx_qmr.ini"
    DetailPrint "$(SettingsKept)"
  ${Else}
    Call SeedSettings
  ${EndIf}

  ; A new program folder: the old one goes (its uninstaller would remove
  ; this install's registry entry and Start menu entries).
  ${If} $OldTools != ""
  ${AndIf} $OldTools != $ToolsDir
    !insertmacro RemoveProgramFiles "$OldTools"
  ${EndIf}
  SetOutPath "$ToolsDir"
  File "/oname=guide.html" "${GUIDE_DIR}/guide.html"
  File "/oname=guide.ru.html" "${GUIDE_DIR}/guide.ru.html"
  File "/oname=INSTALL.txt" "${INSTALL_TXT}"
  File "/oname=CHANGELOG.txt" "${CHANGELOG_TXT}"
  File "/oname=LICENSE.txt" "${LICENSE_TXT}"
  File "/oname=msx_qmr.ini.example" "${INI_EXAMPLE}"
  File "/oname=msxhost.exe" "${TESTER}"
  File "/oname=${PROMPT}" "${PROMPT_CMD}"
  ; In the ANSI code page, as the tester opens the library with it.
  FileOpen $0 "$ToolsDir\${POINTER}" w
  FileWrite $0 "$INSTDIR\msx_qmr.dll$\r$\n"
  FileClose $0
  SetOutPath "$ToolsDir\data"
  File "../data/*.csv"
  File "../data/formulas.txt"
  DetailPrint "$(ToolsWritten)"

  ; Setups before the program folder put the uninstaller beside the DLL.
  ${If} $INSTDIR != $ToolsDir
    Delete "$INSTDIR\${UNINSTALLER}"
  ${EndIf}
  WriteUninstaller "$ToolsDir\${UNINSTALLER}"

  !insertmacro RemoveShortcuts
  SetShellVarContext all
  SetOutPath "$ToolsDir"
  CreateDirectory "$SMPROGRAMS\${TOOLSNAME}"
  CreateShortcut "$SMPROGRAMS\${TOOLSNAME}\Guide.lnk" "$ToolsDir\guide.html"
  CreateShortcut "$SMPROGRAMS\${TOOLSNAME}\Руководство.lnk" "$ToolsDir\guide.ru.html"
  ; cmd drops the outer quotes, keeping those around a path with spaces and
  ; parentheses ("Program Files (x86)").
  CreateShortcut "$SMPROGRAMS\${TOOLSNAME}\$(TesterLink).lnk" "$SYSDIR\cmd.exe" \
      '/k ""$ToolsDir\${PROMPT}""' "$ToolsDir\msxhost.exe" 0
  SetShellVarContext current

  SetRegView 32
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayName" "msx_qmr ${VERSION}"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTKEY}" "Publisher" "msx_qmr"
  WriteRegStr HKLM "${UNINSTKEY}" "InstallLocation" "$ToolsDir"
  WriteRegStr HKLM "${UNINSTKEY}" "HostFolder" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTKEY}" "UninstallString" '"$ToolsDir\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTKEY}" "QuietUninstallString" '"$ToolsDir\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTKEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTKEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/M=msx_qmr.dll /S=0K /G=0" $0 $1 $2
  ${GetSize} "$ToolsDir" "/S=0K /G=1" $3 $1 $2
  IntOp $0 $0 + $3
  WriteRegDWORD HKLM "${UNINSTKEY}" "EstimatedSize" $0
SectionEnd

!delfile "${INSTALL_TXT}"
!delfile "${CHANGELOG_TXT}"
!delfile "${LICENSE_TXT}"
!delfile "${INI_EXAMPLE}"
!delfile "${PROMPT_CMD}"

Function .onInstFailed
  SetErrorLevel 2
FunctionEnd

; --- Uninstalling ---------------------------------------------------------

; The uninstaller runs from the program folder ($INSTDIR); the host's folder
; is the one setup recorded, or else the folder of the DLL msxhost.lib names.
Function un.onInit
  SetRegView 32
  ReadRegStr $HostDir HKLM "${UNINSTKEY}" "HostFolder"
  ${If} $HostDir == ""
  ${AndIf} ${FileExists} "$INSTDIR\${POINTER}"
    FileOpen $0 "$INSTDIR\${POINTER}" r
    FileRead $0 $1
    FileClose $0
    ${WordReplace} "$1" "$\r$\n" "" "+" $1
    ${GetParent} "$1" $HostDir
  ${EndIf}
FunctionEnd

Section "Uninstall"
  ${If} $HostDir != ""
    Delete "$HostDir\msx_qmr.dll"
    ${If} ${FileExists} "$HostDir\msx_qmr.dll"
      MessageBox MB_OK|MB_ICONSTOP "$(UnDllInUse)" /SD IDOK
      SetErrorLevel 2
      Abort
    ${EndIf}
  ${EndIf}

  !insertmacro RemoveShortcuts
  !insertmacro RemoveProgramFiles "$INSTDIR"

  SetRegView 32
  DeleteRegKey HKLM "${UNINSTKEY}"
  ${If} ${FileExists} "$HostDir\msx_qmr.ini"
    DetailPrint "$(UnSettingsKept)"
  ${EndIf}
SectionEnd

@echo off
rem The formula tester's command prompt: the Start menu's tester entry runs
rem this through cmd /k, in the program folder setup installed it to.
rem msxhost goes on the path; the prompt opens in msx_qmr in the user's
rem Documents, where the tester's examples write their files, with a copy of
rem the bundled prices in data\ so that the guide's examples run as written.
rem Files already there are left as they are.
set "PATH=%~dp0;%PATH%"
set "MSXHOST_DOCS="
for /f "tokens=1,2,*" %%a in ('reg query "HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders" /v Personal 2^>nul') do if /i "%%a"=="Personal" set "MSXHOST_DOCS=%%c"
if not defined MSXHOST_DOCS set "MSXHOST_DOCS=%USERPROFILE%\Documents"
if not exist "%MSXHOST_DOCS%\msx_qmr\data\" mkdir "%MSXHOST_DOCS%\msx_qmr\data"
pushd "%~dp0data"
for %%f in (*.*) do if not exist "%MSXHOST_DOCS%\msx_qmr\data\%%f" copy "%%f" "%MSXHOST_DOCS%\msx_qmr\data\" >nul
popd
cd /d "%MSXHOST_DOCS%\msx_qmr"
set "MSXHOST_DOCS="
echo msxhost, the formula tester of msx_qmr. msxhost help lists its commands;
echo data\ holds the bundled prices: msxhost describe, msxhost batch data\formulas.txt --data data\goog-daily.csv

@echo off
rem Registers the event source "ZARVEK RUD" of the Application log, so that
rem the Event Viewer shows the Spanish text of rud's events (without it the
rem events are written all the same, with their inserts). Run it once per
rem workstation as an administrator, or from a computer startup script:
rem   registrar-eventos.cmd           registers
rem   registrar-eventos.cmd /quitar   removes the source and the copy
rem The texts are in rud.exe's message table. The event log reads them from
rem the copy of rud.exe this command makes in %ProgramFiles%\ZARVEK\RUD: a
rem local file that only administrators can change, found also when the
rem update share is not. Run it again when a new rud.exe changes the texts.
setlocal
set "KEY=HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\ZARVEK RUD"
set "DEST=%ProgramFiles%\ZARVEK\RUD"
if /i "%~1"=="/quitar" goto remove
if not exist "%~dp0rud.exe" (
  echo No se encuentra rud.exe junto a %~nx0.
  exit /b 1
)
rem Each step's errorlevel is read on the next line: Wine's cmd runs what
rem follows a "||" after a redirected builtin whatever it returned.
if not exist "%DEST%" mkdir "%DEST%"
copy /y "%~dp0rud.exe" "%DEST%\rud.exe" >nul
if errorlevel 1 goto failed
reg add "%KEY%" /v EventMessageFile /t REG_EXPAND_SZ /d "%DEST%\rud.exe" /f >nul
if errorlevel 1 goto failed
reg add "%KEY%" /v TypesSupported /t REG_DWORD /d 7 /f >nul
if errorlevel 1 goto failed
echo Origen "ZARVEK RUD" registrado con los textos de %DEST%\rud.exe
exit /b 0

:remove
reg delete "%KEY%" /f >nul 2>&1
if exist "%DEST%\rud.exe" del "%DEST%\rud.exe"
echo Origen "ZARVEK RUD" quitado
exit /b 0

:failed
echo No se pudo registrar el origen "ZARVEK RUD": ejecute %~nx0 como administrador.
exit /b 1

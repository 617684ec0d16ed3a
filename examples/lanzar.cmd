@echo off
rem Brings a ZARVEK program up to date from the update server, then starts it.
rem   lanzar.cmd PROGRAM-CODE [ARGUMENT...]
rem rud.exe sits beside this file. Set ZARVEK_SERVER to the update server
rem folder (default \\srv\upd). As rud does, only the code's first 8
rem characters name the program.
setlocal
if "%ZARVEK_SERVER%"=="" set "ZARVEK_SERVER=\\srv\upd"
set "CODE=%~1"
if "%CODE%"=="" (
  echo Uso: lanzar.cmd CODIGO-DE-PROGRAMA [ARGUMENTOS...]
  exit /b 2
)

rem On a failure rud has shown its report and waited for Enter: do not start
rem a program that may be out of date or missing.
"%~dp0rud.exe" "%ZARVEK_SERVER%" "%CODE%"
if errorlevel 1 exit /b %errorlevel%

rem The file and folder rud derives from the code: the first 8 characters
rem plus .exe; module GN (characters 2 and 3 of that file name) lives in
rem Ggen\bin, every other module MM in Garh\MM\bin.
set "FILE=%CODE:~0,8%.exe"
set "MODULE=%FILE:~1,2%"
if /i "%MODULE%"=="GN" (set "FOLDER=Ggen\bin") else (set "FOLDER=Garh\%MODULE%\bin")
shift
set "ARGS="
:collect
if "%~1"=="" goto start
set ARGS=%ARGS% %1
shift
goto collect
:start
"C:\ZARVEK\%FOLDER%\%FILE%"%ARGS%
exit /b %errorlevel%

@echo off
rem Brings a ZARVEK program up to date from the update server, then starts it.
rem   lanzar.cmd PROGRAM-CODE [ARGUMENT...]
rem rud.exe sits beside this file. Set ZARVEK_SERVER to the update server
rem folder (default \\srv\upd). The program is found as rud finds it: the
rem code without leading and trailing blanks and tabs, its first 8
rem characters. Every argument after the code is passed on, empty ones ("")
rem included.
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

rem rud trims the code as it takes it: leading, then trailing blanks and tabs.
set "TAB=	"
:trim_front
if "%CODE:~0,1%"==" " (set "CODE=%CODE:~1%" & goto trim_front)
if "%CODE:~0,1%"=="%TAB%" (set "CODE=%CODE:~1%" & goto trim_front)
:trim_back
if not defined CODE goto derive
if "%CODE:~-1%"==" " (set "CODE=%CODE:~0,-1%" & goto trim_back)
if "%CODE:~-1%"=="%TAB%" (set "CODE=%CODE:~0,-1%" & goto trim_back)

:derive
rem The file and folder rud derives from the code: the first 8 characters
rem plus .exe; module GN (characters 2 and 3 of that file name) lives in
rem Ggen\bin, every other module MM in Garh\MM\bin.
set "FILE=%CODE:~0,8%.exe"
set "MODULE=%FILE:~1,2%"
if /i "%MODULE%"=="GN" (set "FOLDER=Ggen\bin") else (set "FOLDER=Garh\%MODULE%\bin")

rem The arguments after the code, each as it was given: an empty one ("") is
rem an argument too, only a missing one ends the list.
shift
set "ARGS="
:collect
set "ARG=%1"
if not defined ARG goto start
set ARGS=%ARGS% %1
shift
goto collect
:start
"C:\ZARVEK\%FOLDER%\%FILE%"%ARGS%
exit /b %errorlevel%

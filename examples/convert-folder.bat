@echo off
rem convert-folder.bat - converts every .txt file in a folder and its subfolders to UTF-8 with a
rem byte order mark, in place, whatever encoding each file is in now.
rem
rem   convert-folder.bat FOLDER [PROGRAM]
rem
rem   FOLDER   the folder to work through
rem   PROGRAM  the codeshift program to run; without it, codeshift.exe in the folder above this
rem            one (on a 32-bit Windows give codeshift32.exe there)
rem
rem Each run appends its record to codeshift.log in FOLDER. The batch file ends with exit code 0
rem when every file was converted, 1 when some failed, 2 when it was called wrongly.
rem
rem Reading codeshift's exit code:
rem  - A batch file waits for every program it starts, also for codeshift, which opens no
rem    window, and then finds the program's exit code in ERRORLEVEL.
rem  - Compare the code with EQU, NEQ, GEQ and the like. "if errorlevel N" means "the code is N
rem    or higher", not "exactly N": "if errorlevel 0" is always true, and "if errorlevel 21"
rem    is true for 22 as well.
rem  - Inside a loop or any ( ) block %ERRORLEVEL% is read once, before the block runs, and
rem    never changes; "if errorlevel 1" is tested as each line runs. Delayed expansion
rem    (!ERRORLEVEL!) would do as well, but it takes the "!" out of file names.
rem  - codeshift opens no console: its messages (why a file failed, how many characters became
rem    "?") reach whoever redirected its standard error, here a file that is shown after each run.
rem  - Codes: 0 converted, 21 the input could not be read or is empty, 22 the output could not
rem    be written (the file keeps its old content), 20 a usage error. readme.html lists them all.

setlocal EnableExtensions DisableDelayedExpansion
if "%~1"=="" (
    echo usage: %~nx0 FOLDER [PROGRAM]
    exit /b 2
)
if not exist "%~1\" (
    echo no folder %~1
    exit /b 2
)
set "program=%~2"
if "%program%"=="" set "program=%~dp0..\codeshift.exe"
if not exist "%program%" (
    echo no program %program%
    exit /b 2
)

set converted=0
set failed=0
set "messages=%TEMP%\convert-folder-%RANDOM%%RANDOM%.txt"
for /r "%~1" %%f in (*.txt) do (
    rem -t: find the encoding of the file; -u8: UTF-8 with mark; -r: replace the file itself.
    "%program%" -t -u8 -r "%%f" "-o%~f1\codeshift.log" 2> "%messages%"
    if errorlevel 1 (
        type "%messages%"
        echo failed: %%f
        set /a failed+=1
    ) else (
        type "%messages%"
        set /a converted+=1
    )
)
del "%messages%" 2> nul
echo %converted% converted, %failed% failed
if %failed% GTR 0 exit /b 1
exit /b 0

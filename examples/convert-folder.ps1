# convert-folder.ps1 - converts every .txt file in a folder and its subfolders to UTF-8 with a
# byte order mark, in place, whatever encoding each file is in now.
#
#   powershell -ExecutionPolicy Bypass -File convert-folder.ps1 -Folder C:\Texts
#   powershell -ExecutionPolicy Bypass -File convert-folder.ps1 -Folder C:\Texts -Program C:\Tools\codeshift32.exe
#
# Each run appends its record to codeshift.log in the folder. The script ends with exit code 0
# when every file was converted, 1 when some failed.
#
# Reading codeshift's exit code: codeshift opens no window, and PowerShell does not wait for
# such a program when it is called like a command (nor does it set $LASTEXITCODE then).
# Start-Process -Wait -PassThru waits for the program to end and hands back its process, whose
# ExitCode is the result: 0 converted, 21 the input could not be read or is empty, 22 the output
# could not be written (the file keeps its old content), 20 a usage error. readme.html lists
# them all.

param(
    [Parameter(Mandatory = $true)] [string] $Folder,
    [string] $Program = (Join-Path $PSScriptRoot '..\codeshift.exe')
)

$log = Join-Path (Resolve-Path $Folder) 'codeshift.log'
$converted = 0
$failed = 0
foreach ($file in Get-ChildItem -Path $Folder -Filter *.txt -Recurse -File) {
    # -t: find the encoding of the file; -u8: UTF-8 with mark; -r: replace the file itself.
    # The quotes keep names with spaces whole on the program's command line.
    $arguments = @('-t', '-u8', '-r', "`"$($file.FullName)`"", "`"-o$log`"")
    $process = Start-Process -FilePath $Program -ArgumentList $arguments -Wait -PassThru
    if ($process.ExitCode -eq 0) {
        $converted++
    } else {
        Write-Warning "exit code $($process.ExitCode): $($file.FullName)"
        $failed++
    }
}
Write-Output "$converted converted, $failed failed"
if ($failed -gt 0) { exit 1 }
exit 0

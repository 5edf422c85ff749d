// The one header through which the rest of codeshift reaches the operating system.
//
// On Windows the services are the real API and this header only brings it in. On Linux the
// same names, types and results are provided by src/platform/posix, so that the code above
// this layer is written once, against the Windows calls, and behaves alike on every build.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#if defined(_WIN32)

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// The shell's declarations need windows.h in front of them.
#include <shellapi.h>
#include <wchar.h>

// Wide string literal in the platform's wide character type.
#define WSTR(s) L##s

#else  // Linux

typedef char16_t WCHAR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef uint32_t DWORD;
typedef DWORD* LPDWORD;
typedef int32_t LONG;
typedef LONG* PLONG;
typedef unsigned int UINT;
typedef int BOOL;
typedef void* HANDLE;
typedef void* HINSTANCE;
typedef void* HWND;
typedef void* HLOCAL;
typedef void* HMODULE;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef void* LPOVERLAPPED;
typedef void* LPSECURITY_ATTRIBUTES;

#define WSTR(s) u##s
#define WINAPI
#define TRUE 1
#define FALSE 0

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))
#define INVALID_FILE_SIZE 0xFFFFFFFFu
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu
#define INVALID_SET_FILE_POINTER 0xFFFFFFFFu

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define CREATE_NEW 1u
#define CREATE_ALWAYS 2u
#define OPEN_EXISTING 3u
#define OPEN_ALWAYS 4u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define FILE_BEGIN 0u
#define FILE_CURRENT 1u
#define FILE_END 2u
#define FILE_TYPE_UNKNOWN 0u
#define FILE_TYPE_DISK 1u
#define FILE_TYPE_CHAR 2u
#define FILE_TYPE_PIPE 3u

#define ERROR_SUCCESS 0u
#define ERROR_FILE_NOT_FOUND 2u
#define ERROR_PATH_NOT_FOUND 3u
#define ERROR_TOO_MANY_OPEN_FILES 4u
#define ERROR_ACCESS_DENIED 5u
#define ERROR_INVALID_HANDLE 6u
#define ERROR_NOT_ENOUGH_MEMORY 8u
#define ERROR_WRITE_FAULT 29u
#define ERROR_READ_FAULT 30u
#define ERROR_SHARING_VIOLATION 32u
#define ERROR_HANDLE_DISK_FULL 39u
#define ERROR_FILE_EXISTS 80u
#define ERROR_INVALID_PARAMETER 87u
#define ERROR_DISK_FULL 112u
#define ERROR_INSUFFICIENT_BUFFER 122u
#define ERROR_ALREADY_EXISTS 183u
#define ERROR_NO_UNICODE_TRANSLATION 1113u
#define ERROR_INVALID_OWNER 1307u

#define CP_ACP 0u
#define CP_OEMCP 1u
#define CP_MACCP 2u
#define CP_UTF8 65001u

#define SW_SHOWNORMAL 1

struct SYSTEMTIME {
    uint16_t wYear;
    uint16_t wMonth;
    uint16_t wDayOfWeek;
    uint16_t wDay;
    uint16_t wHour;
    uint16_t wMinute;
    uint16_t wSecond;
    uint16_t wMilliseconds;
};

// Entry point of the program; the posix main() keeps its arguments and calls it.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);

// Files. Share modes are honoured between processes that use this layer: a handle opened for
// writing excludes every other opener unless FILE_SHARE_WRITE is given; one opened for reading
// with FILE_SHARE_READ excludes writers. A refused open fails with ERROR_SHARING_VIOLATION.
// Only regular files can be opened: a directory, FIFO or device fails at once, never blocks.
HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD attributes, HANDLE templateFile);
DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh);
DWORD GetFileType(HANDLE file);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written,
               LPOVERLAPPED overlapped);
DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD method);
BOOL SetEndOfFile(HANDLE file);
BOOL CloseHandle(HANDLE handle);
DWORD GetFileAttributesW(LPCWSTR name);
BOOL DeleteFileW(LPCWSTR name);
DWORD GetLastError();
void SetLastError(DWORD error);

// Process and shell.
LPWSTR GetCommandLineW();
LPWSTR* CommandLineToArgvW(LPCWSTR commandLine, int* count);
HLOCAL LocalFree(HLOCAL memory);
DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);
HINSTANCE ShellExecuteW(HWND window, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                        LPCWSTR directory, int showCommand);
DWORD GetCurrentDirectoryW(DWORD size, LPWSTR buffer);
void GetLocalTime(SYSTEMTIME* time);
void Sleep(DWORD milliseconds);

// Code pages: single-byte pages through the C library's iconv, UTF-8 natively. A page is valid
// when the platform can convert with it; CP_ACP, CP_OEMCP and CP_MACCP are not, as on Windows.
BOOL IsValidCodePage(UINT codePage);
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR bytes, int byteCount, LPWSTR units,
                        int unitCount);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR units, int unitCount, LPSTR bytes,
                        int byteCount, LPCSTR defaultChar, BOOL* usedDefaultChar);

// Case-insensitive comparison of two terminated wide strings (ASCII letters fold).
int _wcsicmp(LPCWSTR a, LPCWSTR b);

#endif  // _WIN32

// Text inside the system: 16-bit units, terminated.
typedef std::basic_string<WCHAR> WideString;

// --- Services of our own, on every platform -------------------------------------------------

// Replacing a file without ever losing it: the new content goes to a temporary file created
// exclusively, under an unpredictable name, in the folder of the file that `targetName` finally
// names (a symbolic link is followed), with that file's permissions, owner and group when it
// exists. The handle is open for writing; INVALID_HANDLE_VALUE when the temporary cannot be made
// or the target could never be replaced (a folder, a device, a file that may not be written),
// with ERROR_INVALID_OWNER when the target's owner and group cannot be kept.
HANDLE CreateReplacementFile(LPCWSTR targetName, WideString* tempName);

// Moves a finished, closed temporary over the target (through a link, onto the file it names).
// FALSE when the move failed; the temporary is then still there for the caller to delete.
BOOL CommitReplacementFile(LPCWSTR tempName, LPCWSTR targetName);

// The code page that CP_ACP, CP_OEMCP or CP_MACCP stands for on this system, for the questions
// (IsValidCodePage) that only real pages answer; any other page comes back as it is.
UINT ResolveCodePage(UINT codePage);

// The path under which the shell is asked to open the document at `path`: the path itself, or
// on Windows, when it is too long for the shell, the same file through its folder's short name
// (where the volume keeps short names).
WideString ShellDocumentPath(const WideString& path);

// Whether a call on the file `name` that failed with `error` may succeed when tried again
// shortly: another process holds the file for a moment (on Windows also a file that is being
// deleted or scanned). Callers wait a second or two for such a file before giving up.
bool FileBusyForNow(DWORD error, LPCWSTR name);

// Byte code pages in bulk, so that a long text needs no call per character. Every entry holds
// exactly what the code page calls above return for that one byte or unit on its own.
struct CodePageByte {
    uint8_t result;  // MultiByteToWideChar(codePage, 0, &byte, 1, &unit, 1): 0 or 1
    WCHAR unit;      // the unit it wrote, when the result is 1
};
struct CodePageUnit {
    // WideCharToMultiByte(codePage, 0, &unit, 1, nullptr, 0, nullptr, nullptr), the size the
    // unit takes (0 when it cannot be converted), capped at 255.
    uint8_t size;
    uint8_t bytes[4];  // the unit converted with room for `size` bytes, when that is at most 4
    uint8_t single;    // the same call with room for one byte: 0 or 1
    uint8_t byte;      // the byte that call wrote, when it returned 1
};
void ReadCodePageBytes(UINT codePage, CodePageByte* table);  // 256 entries, byte 00 first
void ReadCodePageUnits(UINT codePage, WCHAR first, int count, CodePageUnit* table);

// A hint that `bytes` from `block` are about to be filled and worked through once, front to
// back: the platform may back them with large pages. Nothing changes in what the block holds.
void PrepareLargeBlock(void* block, size_t bytes);

// --- Conventions each platform decides ------------------------------------------------------

// How the command line tells options from names, and what it answers besides a run. The
// Windows programs keep the command line their callers have always used: "-" and "/" both begin
// an option. On Linux "/" begins an absolute path, so only "-" begins an option, a lone "--"
// makes every later argument a name, and "--help" and "--version" answer on standard output.
struct CommandLineRules {
    bool slashBeginsOption;
    bool doubleDashEndsOptions;
    bool answersHelpAndVersion;
};
constexpr CommandLineRules kWindowsCommandLine = {true, false, false};
constexpr CommandLineRules kLinuxCommandLine = {false, true, true};

#if defined(_WIN32)
constexpr CommandLineRules kPlatformCommandLine = kWindowsCommandLine;
// The guide lies beside the program, and there is no manual page to point to.
constexpr const WCHAR* kInstalledGuide = nullptr;
constexpr bool kHasManualPage = false;
#else
constexpr CommandLineRules kPlatformCommandLine = kLinuxCommandLine;
// Beside the program in a build tree; an installed program keeps it with its documents,
// relative to the folder above its own.
constexpr const WCHAR* kInstalledGuide = WSTR("share/doc/codeshift/readme.html");
constexpr bool kHasManualPage = true;
#endif

// --- Messages ---------------------------------------------------------------------------------

// Where a run's words go. On Linux messages go to standard error and an answer the user asked
// for (--help, --version) to standard output. A Windows program has no console: both reach a
// debugger through OutputDebugStringW, one call per line.
enum MessageStream : uint8_t { kStreamMessages, kStreamAnswer };

// Writes `text`, whole lines each ending in a line feed, in one piece where the stream allows.
void WriteMessageText(MessageStream stream, LPCWSTR text);

// The system's own words for an error code that GetLastError gave: one line, without the
// final period; empty for ERROR_SUCCESS.
WideString SystemErrorText(DWORD error);

// Whether messages appear on a terminal that somebody watches (then a usage error needs no
// browser window). Never on Windows, where the messages reach no screen.
bool MessagesReachTerminal();

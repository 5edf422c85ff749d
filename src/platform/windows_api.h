// The Windows services that codeshift calls, under their Windows names.
//
// On Windows this header only brings in the real API. On Linux the same names, types and
// results are provided by src/platform/posix, so that the code above this layer is written once,
// against the Windows calls, and behaves alike on every build. There they live in:
//   posix/files.cpp         CreateFileW and the other file calls, GetLastError, SetLastError
//   posix/process.cpp       GetModuleFileNameW, GetCurrentDirectoryW, GetLocalTime, Sleep,
//                           ShellExecuteW
//   posix/command_line.cpp  GetCommandLineW
//   posix/code_pages.cpp    IsValidCodePage, MultiByteToWideChar, WideCharToMultiByte, _wcsicmp
//   posix/main.cpp          main(), which keeps the arguments and calls WinMain
#pragma once

#include <cstddef>
#include <cstdint>

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
#define ERROR_NO_DATA 232u
#define ERROR_ALREADY_EXISTS 183u
#define ERROR_NO_UNICODE_TRANSLATION 1113u

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
DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);
HINSTANCE ShellExecuteW(HWND window, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                        LPCWSTR directory, int showCommand);
DWORD GetCurrentDirectoryW(DWORD size, LPWSTR buffer);
void GetLocalTime(SYSTEMTIME* time);
void Sleep(DWORD milliseconds);

// Code pages: the Windows calls' own tables for the single-byte pages (flags 0, as codeshift
// calls them), UTF-8 natively. A page is valid when those tables hold it; CP_ACP, CP_OEMCP and
// CP_MACCP are not, as on Windows.
BOOL IsValidCodePage(UINT codePage);
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR bytes, int byteCount, LPWSTR units,
                        int unitCount);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR units, int unitCount, LPSTR bytes,
                        int byteCount, LPCSTR defaultChar, BOOL* usedDefaultChar);

// Case-insensitive comparison of two terminated wide strings (ASCII letters fold).
int _wcsicmp(LPCWSTR a, LPCWSTR b);

#endif  // _WIN32

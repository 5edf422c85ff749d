// A small Windows program for the end-to-end suite under Wine: it does to a file what other
// programs on a Windows machine do (hold it open, set its attributes and access rules) and
// reports what the tests cannot see from Linux (a short name, a file's access rules). Reports
// are appended to helper.txt in the current folder.
//
//   file_helper hold MS FILE PROGRAM [ARGS...]
//       opens FILE without sharing, starts PROGRAM, closes FILE after MS milliseconds (or when
//       PROGRAM has ended), then ends with PROGRAM's exit code
//   file_helper hold-at-commit MS FILE PROGRAM [ARGS...]
//       the same, but FILE is opened only once PROGRAM's temporary (~*.tmp beside FILE) is
//       there; reports "held before the commit" when the temporary was still there after FILE
//       was opened, else "held too late"
//   file_helper short PATH          reports PATH's folder in its short form, then \ and its name
//   file_helper rules FILE          reports FILE's attributes and its DACL
//   file_helper set-rules FILE ATTRIBUTES SDDL
//                                   sets the attributes (hex) and the DACL (SDDL) of FILE
// The helper's own failures end it with 100 or more.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// The security calls need windows.h in front of them.
#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

void Report(const std::wstring& line) {
    FILE* out = _wfopen(L"helper.txt", L"a");
    if (out != nullptr) {
        std::fprintf(out, "%ls\n", line.c_str());
        std::fclose(out);
    }
}

constexpr DWORD kShownAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                   FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// One argument quoted so that the child's command line splits back into it.
std::wstring Quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
        return argument;
    }
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out.push_back(c);
    }
    out.append(2 * backslashes, L'\\');
    return out + L"\"";
}

HANDLE Start(int argc, wchar_t** argv, int first) {
    std::wstring commandLine;
    for (int i = first; i < argc; ++i) {
        commandLine += (i > first ? L" " : L"") + Quoted(argv[i]);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(argv[first], &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::fprintf(stderr, "cannot start the program: error %lu\n", GetLastError());
        return nullptr;
    }
    CloseHandle(process.hThread);
    return process.hProcess;
}

HANDLE OpenUnshared(const wchar_t* name) {
    return CreateFileW(name, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

// Whether a temporary of a run (~*.tmp) is in the folder of `file`.
bool TemporaryBeside(const std::wstring& file) {
    size_t cut = file.find_last_of(L"\\/");
    std::wstring pattern = (cut == std::wstring::npos ? L"" : file.substr(0, cut + 1)) + L"~*.tmp";
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return false;
    }
    FindClose(search);
    return true;
}

int Hold(int argc, wchar_t** argv, bool atCommit) {
    DWORD milliseconds = static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10));
    std::wstring file = argv[3];
    HANDLE held = atCommit ? INVALID_HANDLE_VALUE : OpenUnshared(file.c_str());
    if (!atCommit && held == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot open the file: error %lu\n", GetLastError());
        return 101;
    }
    HANDLE process = Start(argc, argv, 4);
    if (process == nullptr) {
        return 102;
    }
    if (atCommit) {
        while (!TemporaryBeside(file) && WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
        }
        held = OpenUnshared(file.c_str());
        bool early = held != INVALID_HANDLE_VALUE && TemporaryBeside(file);
        Report(early ? L"held before the commit" : L"held too late");
    }
    WaitForSingleObject(process, milliseconds);
    if (held != INVALID_HANDLE_VALUE) {
        CloseHandle(held);
    }
    WaitForSingleObject(process, INFINITE);
    DWORD exitCode = 103;
    GetExitCodeProcess(process, &exitCode);
    CloseHandle(process);
    return static_cast<int>(exitCode);
}

int Short(const wchar_t* path) {
    std::wstring whole = path;
    size_t cut = whole.find_last_of(L'\\');
    if (cut == std::wstring::npos) {
        return 104;
    }
    std::wstring folder = whole.substr(0, cut);
    DWORD size = GetShortPathNameW(folder.c_str(), nullptr, 0);
    std::wstring shortFolder(size, L'\0');
    DWORD length = GetShortPathNameW(folder.c_str(), &shortFolder[0], size);
    if (size == 0 || length == 0 || length >= size) {
        return 105;
    }
    shortFolder.resize(length);
    Report(shortFolder + whole.substr(cut));
    return 0;
}

int Rules(const wchar_t* file) {
    DWORD attributes = GetFileAttributesW(file);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        GetNamedSecurityInfoW(file, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                              nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
        return 106;
    }
    LPWSTR text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(
            descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
        return 107;
    }
    wchar_t shown[16];
    std::swprintf(shown, 16, L"%08lx ", attributes & kShownAttributes);
    Report(L"attributes " + std::wstring(shown) + text);
    LocalFree(text);
    LocalFree(descriptor);
    return 0;
}

int SetRules(const wchar_t* file, const wchar_t* attributes, const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor,
                                                              nullptr)) {
        return 108;
    }
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
    GetSecurityDescriptorControl(descriptor, &control, &revision);
    SECURITY_INFORMATION what =
        DACL_SECURITY_INFORMATION |
        ((control & SE_DACL_PROTECTED) != 0 ? PROTECTED_DACL_SECURITY_INFORMATION
                                            : UNPROTECTED_DACL_SECURITY_INFORMATION);
    DWORD error = SetNamedSecurityInfoW(const_cast<wchar_t*>(file), SE_FILE_OBJECT, what, nullptr,
                                        nullptr, dacl, nullptr);
    LocalFree(descriptor);
    if (error != ERROR_SUCCESS) {
        return 109;
    }
    DWORD wanted = static_cast<DWORD>(std::wcstoul(attributes, nullptr, 16));
    return SetFileAttributesW(file, wanted != 0 ? wanted : FILE_ATTRIBUTE_NORMAL) ? 0 : 110;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring action = argc > 1 ? argv[1] : L"";
    if ((action == L"hold" || action == L"hold-at-commit") && argc >= 5) {
        return Hold(argc, argv, action == L"hold-at-commit");
    }
    if (action == L"short" && argc == 3) {
        return Short(argv[2]);
    }
    if (action == L"rules" && argc == 3) {
        return Rules(argv[2]);
    }
    if (action == L"set-rules" && argc == 5) {
        return SetRules(argv[2], argv[3], argv[4]);
    }
    std::fprintf(stderr, "usage: see the head of file_helper.cpp\n");
    return 100;
}

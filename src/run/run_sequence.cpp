#include "src/run/run_sequence.h"

#include "src/cmdline/parse_command_line.h"
#include "src/input/convert_file.h"
#include "src/log/run_log.h"
#include "src/run/run_state.h"

constexpr DWORD kModulePathChars = 1024;

void OpenReadme() {
    WCHAR path[kModulePathChars];
    DWORD length = GetModuleFileNameW(nullptr, path, kModulePathChars);
    if (length == 0 || length >= kModulePathChars) {
        return;
    }
    // Either separator may end the folder: Windows accepts both, Linux uses "/".
    DWORD cut = length;
    while (cut > 0 && path[cut - 1] != '\\' && path[cut - 1] != '/') {
        --cut;
    }
    if (cut == 0) {
        return;
    }
    static const WCHAR kReadme[] = WSTR("readme.html");
    if (cut + sizeof(kReadme) / sizeof(WCHAR) > kModulePathChars) {
        return;
    }
    for (size_t i = 0; i < sizeof(kReadme) / sizeof(WCHAR); ++i) {
        path[cut + i] = kReadme[i];
    }
    ShellExecuteW(nullptr, WSTR("open"), path, nullptr, nullptr, SW_SHOWNORMAL);
}

int RunOnce() {
    ResetRunState();
    if (ParseCommandLine() != 0) {
        OpenReadme();
    } else {
        ConvertFile();
    }
    if (!runState.logName.empty()) {
        WriteRunLog();
    }
    return runState.status;
}

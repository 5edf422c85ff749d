// The Windows programs read their arguments as every Windows program does: the process's one
// command line, split by the system's rules for blanks, quotes and backslashes.
#include "src/platform/platform.h"

bool ReadProcessArguments(std::vector<WideString>* arguments) {
    int count = 0;
    LPWSTR* split = CommandLineToArgvW(GetCommandLineW(), &count);
    if (split == nullptr) {
        return false;
    }
    arguments->assign(split, split + count);
    LocalFree(split);
    return true;
}

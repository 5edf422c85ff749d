// Linux entry: settle how signals end the process, keep the arguments for the command-line
// services, then run as on Windows.
#include <vector>

#include "src/platform/platform.h"
#include "src/platform/posix/command_line.h"
#include "src/platform/posix/signals.h"
#include "src/platform/posix/wide_text.h"

int main(int argc, char** argv) {
    SetUpProcessSignals();
    std::vector<WideString> arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.push_back(WideFromBytes(argv[i]));
    }
    SetProcessArguments(arguments);
    return WinMain(nullptr, nullptr, nullptr, SW_SHOWNORMAL);
}

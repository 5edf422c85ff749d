// Linux entry: settle how signals end the process, keep the arguments for the command-line
// services, then run as on Windows.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "src/platform/platform.h"
#include "src/platform/posix/command_line.h"
#include "src/platform/posix/signals.h"
#include "src/platform/posix/wide_text.h"

// A standard stream the caller closed (2>&-) is held on /dev/null, read only: no file the run
// opens can take its number and receive words meant for the stream, and writing to it still
// fails as writing to a closed stream does.
static void HoldClosedStandardStreams() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            int held = open("/dev/null", O_RDONLY);
            if (held >= 0 && held != fd) {
                dup2(held, fd);
                close(held);
            }
        }
    }
}

int main(int argc, char** argv) {
    HoldClosedStandardStreams();
    SetUpProcessSignals();
    std::vector<WideString> arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.push_back(WideFromBytes(argv[i]));
    }
    SetProcessArguments(arguments);
    return WinMain(nullptr, nullptr, nullptr, SW_SHOWNORMAL);
}

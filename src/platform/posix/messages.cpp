// Messages of the Linux build: standard error, standard output and the C library's words.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "src/platform/platform.h"
#include "src/platform/posix/wide_text.h"

// One write where the system takes it whole, so that lines of runs sharing a terminal or a file
// do not interleave; the rest follows when it does not.
static void WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;  // nobody left to read it: the run's result stands without its words
        }
        done += static_cast<size_t>(n);
    }
}

void WriteMessageText(MessageStream stream, LPCWSTR text) {
    WriteAll(stream == kStreamAnswer ? STDOUT_FILENO : STDERR_FILENO, BytesFromWide(text));
}

WideString SystemErrorText(DWORD error) {
    if (error == ERROR_SUCCESS) {
        return WideString();
    }
    if (error == kErrorNotRegularFile) {
        return WSTR("not a regular file");
    }
    if (error == ERROR_SHARING_VIOLATION) {
        return WSTR("in use by another program");
    }
    int number = ErrnoFromError(error);
    if (number != 0) {
        // The program never sets a locale, so these are the C library's English words.
        return WideFromBytes(std::strerror(number));
    }
    return WideFromBytes("error " + std::to_string(error));
}

bool MessagesReachTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

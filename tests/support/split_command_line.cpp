#include "tests/support/split_command_line.h"

static bool IsBlank(WCHAR c) {
    return c == ' ' || c == '\t';
}

std::vector<WideString> SplitCommandLine(LPCWSTR line) {
    std::vector<WideString> result;
    size_t i = 0;
    WideString program;
    if (line[0] == '"') {
        for (i = 1; line[i] != 0 && line[i] != '"'; ++i) {
            program.push_back(line[i]);
        }
        if (line[i] == '"') {
            ++i;
        }
    } else {
        for (; line[i] != 0 && !IsBlank(line[i]); ++i) {
            program.push_back(line[i]);
        }
    }
    result.push_back(program);
    for (;;) {
        while (IsBlank(line[i])) {
            ++i;
        }
        if (line[i] == 0) {
            break;
        }
        WideString argument;
        bool quoted = false;
        while (line[i] != 0 && (quoted || !IsBlank(line[i]))) {
            if (line[i] == '\\') {
                size_t backslashes = 0;
                while (line[i] == '\\') {
                    ++backslashes;
                    ++i;
                }
                if (line[i] == '"') {
                    argument.append(backslashes / 2, '\\');
                    if (backslashes % 2 == 1) {
                        argument.push_back('"');
                        ++i;
                    }
                } else {
                    argument.append(backslashes, '\\');
                }
            } else if (line[i] == '"') {
                if (quoted && line[i + 1] == '"') {
                    argument.push_back('"');
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                argument.push_back(line[i]);
                ++i;
            }
        }
        result.push_back(argument);
    }
    return result;
}

// One end-to-end case: the files a folder starts with, the arguments, and everything the run
// must leave behind. Cases run against whichever build CODESHIFT_PROGRAM names.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/e2e/program.h"

struct FileBytes {
    std::string name;
    std::string bytes;
};

struct E2eCase {
    std::string name;
    // "{folder}" stands for the case's folder as an absolute path.
    std::vector<std::string> arguments;
    // Written into the fresh folder before the run; a name ending in "/" makes a folder, and
    // folders on the way to a file are made as needed.
    std::vector<FileBytes> given;
    int exitCode;
    std::vector<FileBytes> expected;  // files whose whole content must match afterwards
    std::vector<std::string> absent;  // files that must not exist afterwards
    // Lines the log must consist of (after its byte order mark), when not empty: the file named
    // by the last log option with an attached name, else "run.log".
    // "{time}" matches a time stamp line; a line ending in "*" matches by the text before it;
    // "{program}" stands for the program's path however the platform quotes it.
    std::vector<std::string> logLines;
    // Builds the case applies to: empty for all, else a comma-separated list of flavors
    // ("native", "win64", "win32") for results that are the platform's own.
    std::string flavors;
};

// Runs the case in a fresh folder and reports every difference as a test failure. Besides the
// listed files, the folder may afterwards hold only run.log, shell.trace and helper.txt (what
// the Wine file helper reports): a temporary left behind is a failure. The run happens in
// `surroundings`; where they cannot be set up here, the case is skipped.
void RunE2eCase(const E2eCase& c, const Surroundings& surroundings = {});

// The arguments with "{folder}" replaced by `folder`.
std::vector<std::string> WithFolder(const std::vector<std::string>& arguments,
                                    const std::string& folder);

// The same, with the run started by `run` in the case's folder (for example through another
// program); `run` returns the exit code to compare.
void RunE2eCaseWith(const E2eCase& c, const std::function<int(const std::string& folder)>& run);

// Compares log text (after any byte order mark) line by line with the patterns of logLines.
void ExpectLogLines(const std::string& text, const std::vector<std::string>& expected);

// Whether the build under test is one of a comma-separated list (empty = every build).
bool FlavorMatches(const std::string& flavors);

// Test output names the case instead of dumping its bytes.
inline void PrintTo(const E2eCase& c, std::ostream* out) {
    *out << c.name;
}

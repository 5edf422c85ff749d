// A replaced file survives a power cut: the run's system calls, as strace sees them, show the
// new text on the disk before the rename and the folder after it. A new file is not waited for.
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/cases.h"
#include "tests/e2e/program.h"
#include "tests/support/test_files.h"

namespace {

struct FlushCase {
    const char* name;
    std::vector<std::string> arguments;
    bool outputExists;
    const char* expected;  // the flushes and the rename, in order
};

void PrintTo(const FlushCase& c, std::ostream* out) {
    *out << c.name;
}

// "text" for an fsync of the temporary, "rename", "folder" for an fsync of a folder, "disk" for a
// flush of a whole file system.
std::string Events(const std::string& trace) {
    std::map<std::string, std::string> opened;  // descriptor -> what it is
    std::istringstream lines(trace);
    std::string line;
    std::string events;
    auto add = [&events](const std::string& e) { events += (events.empty() ? "" : ",") + e; };
    while (std::getline(lines, line)) {
        size_t equals = line.rfind(") = ");
        std::string result = equals == std::string::npos ? "" : line.substr(equals + 4);
        if (line.starts_with("openat(") && !result.starts_with("-")) {
            bool folder = line.find("O_DIRECTORY") != std::string::npos;
            bool temporary = line.find(".tmp\"") != std::string::npos;
            opened[result] = folder ? "folder" : temporary ? "text" : "other";
        } else if (line.starts_with("fsync(") || line.starts_with("fdatasync(")) {
            std::string fd = line.substr(line.find('(') + 1, line.find(')') - line.find('(') - 1);
            add(opened.count(fd) != 0 ? opened[fd] : "other");
        } else if (line.starts_with("syncfs(")) {
            add("disk");
        } else if (line.starts_with("rename")) {
            add("rename");
        }
    }
    return events;
}

class Durability : public ::testing::TestWithParam<FlushCase> {};

TEST_P(Durability, ReplacementsReachTheDiskInOrder) {
    const FlushCase& c = GetParam();
    if (!FlavorMatches("native")) {
        GTEST_SKIP() << "the system calls are traced on the native program";
    }
#if defined(__SANITIZE_ADDRESS__)
    // LeakSanitizer ends a traced program with an error of its own, whatever the run did.
    GTEST_SKIP() << "the sanitizer build's runs cannot be traced";
#endif
    const char* strace = "/usr/bin/strace";
    if (access(strace, X_OK) != 0) {
        GTEST_SKIP() << "strace is not installed";
    }
    std::string folder = MakeTempDir();
    WriteBytes(folder + "/in.txt", "abc");
    if (c.outputExists) {
        WriteBytes(folder + "/out.txt", "old");
    }
    std::vector<std::string> arguments = {
        "-qq",
        "-e",
        "trace=openat,fsync,fdatasync,syncfs,rename,renameat,renameat2",
        "-e",
        "signal=none",
        "-o",
        folder + "/trace",
        std::getenv("CODESHIFT_PROGRAM")};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    ASSERT_EQ(RunProgramAt(strace, arguments, folder), 0);
    std::string trace = ReadBytes(folder + "/trace");
    EXPECT_EQ(Events(trace), c.expected) << trace;
    RemoveTree(folder);
}

INSTANTIATE_TEST_SUITE_P(
    Commits, Durability,
    ::testing::Values(
        FlushCase{"ReplacedInput", {"-u8", "-u16", "-r", "in.txt"}, false, "text,rename,folder"},
        FlushCase{
            "ExistingOutput", {"-u8", "-u16", "in.txt", "out.txt"}, true, "text,rename,folder"},
        // A text the kernel copies as it is reaches the disk the same way.
        FlushCase{"ExistingOutputOfACopy",
                  {"-u8", "-u8-", "in.txt", "out.txt"},
                  true,
                  "text,rename,folder"},
        FlushCase{"NewOutput", {"-u8", "-u16", "in.txt", "out.txt"}, false, "rename"},
        // Many files wait for the disk once: every text is on it before the first rename, and
        // the folder they share is flushed once, after the last.
        FlushCase{"ReplacedGroup",
                  {"-u8", "-u16", "-r", "in.txt", "out.txt"},
                  true,
                  "disk,rename,rename,folder"}),
    [](const ::testing::TestParamInfo<FlushCase>& info) { return info.param.name; });

}  // namespace

#include "tests/e2e/cases.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>

#include "tests/e2e/program.h"
#include "tests/support/test_files.h"

bool FlavorMatches(const std::string& flavors) {
    if (flavors.empty()) {
        return true;
    }
    std::stringstream list(flavors);
    std::string item;
    while (std::getline(list, item, ',')) {
        if (item == Flavor()) {
            return true;
        }
    }
    return false;
}

static std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line.push_back(c);
        }
    }
    if (!line.empty()) {
        lines.push_back(line);
    }
    return lines;
}

static bool LineMatches(const std::string& expected, const std::string& actual) {
    static const std::regex kTime(R"(\d\d-\d\d-\d{4} \d\d:\d\d:\d\d)");
    static const std::string kProgram = "{program}";
    if (expected == "{time}") {
        return std::regex_match(actual, kTime);
    }
    size_t program = expected.find(kProgram);
    if (program != std::string::npos) {
        std::string before = expected.substr(0, program);
        std::string after = expected.substr(program + kProgram.size());
        return actual.size() > before.size() + after.size() && actual.starts_with(before) &&
               actual.ends_with(after);
    }
    if (!expected.empty() && expected.back() == '*') {
        return actual.compare(0, expected.size() - 1, expected, 0, expected.size() - 1) == 0;
    }
    return expected == actual;
}

void ExpectLogLines(const std::string& text, const std::vector<std::string>& expected) {
    std::vector<std::string> lines = SplitLines(text);
    ASSERT_EQ(lines.size(), expected.size()) << text;
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_TRUE(LineMatches(expected[i], lines[i]))
            << "log line " << i + 1 << ": expected \"" << expected[i] << "\", got \"" << lines[i]
            << "\"";
    }
}

// The log a case's run writes: the name attached to its last log option, else run.log.
static std::string LogNameOf(const std::vector<std::string>& arguments) {
    std::string name = "run.log";
    for (const std::string& a : arguments) {
        if (a.size() > 2 && (a[0] == '-' || a[0] == '/') && (a[1] == 'o' || a[1] == 'O')) {
            name = a.substr(2);
        }
    }
    return name;
}

static void CheckLog(const std::string& folder, const std::string& name,
                     const std::vector<std::string>& expected) {
    std::string log = ReadBytes(folder + "/" + name);
    ASSERT_GE(log.size(), 3u) << "no log written";
    EXPECT_EQ(log.substr(0, 3), "\xEF\xBB\xBF");
    ExpectLogLines(log.substr(3), expected);
}

// Small files are shown whole in hex; of large ones only the sizes and the first difference.
static void ExpectBytes(const std::string& actual, const std::string& expected,
                        const std::string& name) {
    constexpr size_t kShownWhole = 4096;
    if (actual.size() <= kShownWhole && expected.size() <= kShownWhole) {
        EXPECT_EQ(Hex(actual), Hex(expected)) << name;
        return;
    }
    auto differ = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    EXPECT_TRUE(actual == expected)
        << name << ": " << actual.size() << " bytes, expected " << expected.size()
        << "; they differ from byte " << (differ.first - actual.begin());
}

// The entry a name occupies in the case's folder: its first path component.
static std::string TopName(const std::string& name) {
    return name.substr(0, name.find('/'));
}

// A name ending in "/" is a folder; folders on the way to a file are made as needed.
static void GiveFile(const std::string& folder, const FileBytes& f) {
    std::filesystem::path path = std::filesystem::path(folder) / f.name;
    if (!f.name.empty() && f.name.back() == '/') {
        std::filesystem::create_directories(path);
        return;
    }
    std::filesystem::create_directories(path.parent_path());
    WriteBytes(path.string(), f.bytes);
}

std::vector<std::string> WithFolder(const std::vector<std::string>& arguments,
                                    const std::string& folder) {
    static const std::string kFolder = "{folder}";
    std::vector<std::string> result;
    for (std::string a : arguments) {
        size_t at = a.find(kFolder);
        if (at != std::string::npos) {
            a.replace(at, kFolder.size(), folder);
        }
        result.push_back(a);
    }
    return result;
}

void RunE2eCase(const E2eCase& c, const Surroundings& surroundings) {
    RunE2eCaseWith(c, [&c, &surroundings](const std::string& folder) {
        return RunProgramIn(surroundings, WithFolder(c.arguments, folder), folder);
    });
}

void RunE2eCaseWith(const E2eCase& c, const std::function<int(const std::string& folder)>& run) {
    if (!FlavorMatches(c.flavors)) {
        GTEST_SKIP() << "not for the " << Flavor() << " build";
    }
    std::string folder = MakeTempDir();
    std::set<std::string> allowed = {"run.log", "shell.trace", "helper.txt"};
    for (const FileBytes& f : c.given) {
        GiveFile(folder, f);
        allowed.insert(TopName(f.name));
    }
    int exitCode = run(folder);
    if (exitCode == kSurroundingsRefused) {
        RemoveTree(folder);
        GTEST_SKIP() << "the run's surroundings cannot be set up here (a mount namespace or a "
                        "change of user needs root and a system that permits it)";
    }
    EXPECT_EQ(exitCode, c.exitCode);
    for (const FileBytes& f : c.expected) {
        allowed.insert(TopName(f.name));
        ASSERT_TRUE(FileExists(folder + "/" + f.name)) << f.name << " missing";
        ExpectBytes(ReadBytes(folder + "/" + f.name), f.bytes, f.name);
    }
    for (const std::string& name : c.absent) {
        EXPECT_FALSE(FileExists(folder + "/" + name)) << name << " must not exist";
    }
    if (!c.logLines.empty()) {
        CheckLog(folder, LogNameOf(c.arguments), c.logLines);
    }
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        EXPECT_TRUE(allowed.count(name) == 1) << "unexpected file left behind: " << name;
    }
    RemoveTree(folder);
}

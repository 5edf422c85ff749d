// The example batch file of the Windows release, run by Windows' own command interpreter as a
// user would run it from the unpacked release: it converts every .txt file below a folder and
// acts on each run's exit code.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/cases.h"
#include "tests/e2e/program.h"
#include "tests/support/test_files.h"

namespace {

const std::string kUtf8Mark = "\xEF\xBB\xBF";

class ExampleBatch : public ::testing::TestWithParam<E2eCase> {};

TEST_P(ExampleBatch, ConvertsAFolderAndActsOnExitCodes) {
    namespace fs = std::filesystem;
    RunE2eCaseWith(GetParam(), [](const std::string& folder) {
        // The release's layout: the program, and examples\ beside it.
        fs::path program = std::getenv("CODESHIFT_PROGRAM");
        fs::create_directories(folder + "/release/examples");
        fs::copy_file(program, folder + "/release/" + program.filename().string());
        fs::copy_file(CODESHIFT_SOURCE_DIR "/examples/convert-folder.bat",
                      folder + "/release/examples/convert-folder.bat");
        std::vector<std::string> arguments = {"/c", "release\\examples\\convert-folder.bat",
                                              "texts"};
        // Without a program named, the batch file runs codeshift.exe.
        if (program.filename() != "codeshift.exe") {
            arguments.push_back("release\\" + program.filename().string());
        }
        return RunProgramAt("cmd.exe", arguments, folder);
    });
}

E2eCase Folder(const std::string& name, std::vector<FileBytes> given, int exitCode,
               std::vector<FileBytes> expected) {
    given.push_back({"release/", ""});
    return E2eCase{name, {}, given, exitCode, expected, {}, {}, "win64,win32"};
}

INSTANTIATE_TEST_SUITE_P(
    Windows, ExampleBatch,
    ::testing::Values(
        Folder("EveryTextFileIsConverted",
               {{"texts/a.txt", "caf\xE9"},
                {"texts/sub/b c.txt", std::string("\xFF\xFEh\0i\0", 6)},
                {"texts/keep.dat", "caf\xE9"}},
               0,
               {{"texts/a.txt", kUtf8Mark + "caf\xC3\xA9"},
                {"texts/sub/b c.txt", kUtf8Mark + "hi"},
                {"texts/keep.dat", "caf\xE9"}}),
        // A "!" in a name is no variable to expand.
        Folder("NamesWithAnExclamationMark",
               {{"texts/hi!.txt", "caf\xE9"}, {"texts/a!b!.txt", "x"}}, 0,
               {{"texts/hi!.txt", kUtf8Mark + "caf\xC3\xA9"}, {"texts/a!b!.txt", kUtf8Mark + "x"}}),
        // An empty file cannot be converted (21): the batch file says so and ends with 1.
        Folder("AFailedFileIsReported", {{"texts/a.txt", "caf\xE9"}, {"texts/sub/empty.txt", ""}},
               1, {{"texts/a.txt", kUtf8Mark + "caf\xC3\xA9"}, {"texts/sub/empty.txt", ""}})),
    [](const ::testing::TestParamInfo<E2eCase>& info) { return info.param.name; });

}  // namespace

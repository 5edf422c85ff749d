// The run's closing lines, one row for each failure, count and warning a run can end with.
#include "src/run/run_report.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "src/platform/posix/wide_text.h"
#include "src/state/guide_path.h"

namespace {

struct ReportCase {
    const char* name;
    void (*set)(RunState& run);
    std::string lines;  // as written, each line ended by a line feed
};

void PrintTo(const ReportCase& c, std::ostream* out) {
    *out << c.name;
}

// A run that converted in.txt from A1251 into out.txt as UTF-8, before each row changes it.
RunState ConvertedRun() {
    RunState run;
    run.status = kStatusConverted;
    run.sourceCp = 1251;
    run.targetCp = CP_UTF8;
    run.inputName = WSTR("in.txt");
    run.outputName = WSTR("out.txt");
    run.logName = WSTR("run.log");
    return run;
}

// The lines every usage error ends with.
std::string Usage(const std::string& first) {
    return "codeshift: " + first +
           "\ncodeshift: usage: codeshift [-SOURCE] [-TARGET] [-LF | -CRLF] [-o LOG | -O LOG] "
           "[--] [INPUT [OUTPUT] | -r FILE...]\ncodeshift: the full guide is " +
           BytesFromWide(GuidePath().c_str()) +
           "; see also \"man codeshift\" and \"codeshift --help\"\n";
}

class ReportTable : public ::testing::TestWithParam<ReportCase> {};

TEST_P(ReportTable, TellsTheRun) {
    const ReportCase& c = GetParam();
    RunState run = ConvertedRun();
    c.set(run);
    EXPECT_EQ(BytesFromWide(JoinedLines(RunReport(run)).c_str()), c.lines);
}

void UsageError(RunState& run, UsageProblem problem, const WCHAR* argument) {
    run.status = kStatusUsage;
    run.usageProblem = problem;
    run.usageArgument = argument;
}

void InputFailed(RunState& run, RunFailure failure, DWORD error) {
    run.status = kStatusInputFailed;
    run.failure = failure;
    run.failureError = error;
}

void OutputFailed(RunState& run, RunFailure failure, DWORD error) {
    run.status = kStatusOutputFailed;
    run.failure = failure;
    run.failureError = error;
}

// Usage errors, the Linux wording: every problem the parse can find.
INSTANTIATE_TEST_SUITE_P(
    Usage, ReportTable,
    ::testing::Values(
        ReportCase{"NoInput", [](RunState& r) { UsageError(r, kUsageNoInput, WSTR("")); },
                   Usage("no input file named")},
        ReportCase{"UnknownOption",
                   [](RunState& r) { UsageError(r, kUsageUnknownOption, WSTR("-zzzzzzzz")); },
                   Usage("unknown option \"-zzzzzzzz\": it is not -o, -O, -r or an encoding "
                         "name\ncodeshift: the encoding names are listed by \"codeshift --list\"")},
        ReportCase{"UnknownOptionNearNames",
                   [](RunState& r) { UsageError(r, kUsageUnknownOption, WSTR("-KOI8")); },
                   Usage("unknown option \"-KOI8\": it is not -o, -O, -r or an encoding "
                         "name\ncodeshift: did you mean -KOI8R or -KOI8U? The encoding names are "
                         "listed by \"codeshift --list\"")},
        ReportCase{"ZeroForTheLetterO",
                   [](RunState& r) { UsageError(r, kUsageUnknownOption, WSTR("-0run.log")); },
                   Usage("unknown option \"-0run.log\": it is not -o, -O, -r or an encoding "
                         "name; -o (the letter o) names the log file, and the output file is the "
                         "second name, with no option in front\ncodeshift: the encoding names "
                         "are listed by \"codeshift --list\"")},
        ReportCase{"LogNameMissing",
                   [](RunState& r) { UsageError(r, kUsageLogNameMissing, WSTR("-o")); },
                   Usage("the log option \"-o\" needs a file name right after it")},
        ReportCase{"NamesSwallowed",
                   [](RunState& r) { UsageError(r, kUsageNamesSwallowed, WSTR("-O")); },
                   Usage("no input file named: \"-O\" waits for a log name although one is "
                         "given, so the names after it were ignored")},
        ReportCase{"NoOutput", [](RunState& r) { UsageError(r, kUsageNoOutput, WSTR("")); },
                   Usage("no output file named: name one, or give -r to replace the input")},
        ReportCase{"Unreadable", [](RunState& r) { UsageError(r, kUsageUnreadable, WSTR("")); },
                   Usage("the command line could not be read")},
        ReportCase{"ThirdEncoding",
                   [](RunState& r) { UsageError(r, kUsageThirdEncoding, WSTR("-U16")); },
                   Usage("a third encoding option \"-U16\": the first names the source, the "
                         "second the target, and there is no third")},
        ReportCase{"ThirdName", [](RunState& r) { UsageError(r, kUsageThirdName, WSTR("c.txt")); },
                   Usage("a third file name \"c.txt\": INPUT and OUTPUT are two names; to "
                         "convert many files in place name the encodings and give -r, as in "
                         "\"codeshift -A1251 -U8- -r *.txt\"")},
        ReportCase{"ReplaceWithOutput",
                   [](RunState& r) { UsageError(r, kUsageReplaceWithOutput, WSTR("out.txt")); },
                   Usage("-r replaces the input, yet \"out.txt\" names an output file: give -r "
                         "or an output name, not both")},
        ReportCase{"ReplaceStream",
                   [](RunState& r) { UsageError(r, kUsageReplaceStream, WSTR("")); },
                   Usage("-r replaces the input file, and standard input (\"-\") is none: name "
                         "an output file, or \"-\" for standard output")},
        ReportCase{"EmptyName", [](RunState& r) { UsageError(r, kUsageEmptyName, WSTR("")); },
                   Usage("an empty argument where a file name belongs (a variable that was "
                         "never set?): it names no file, and no other name may take its place")},
        ReportCase{"EmptyLogName",
                   [](RunState& r) { UsageError(r, kUsageEmptyLogName, WSTR("-o")); },
                   Usage("the log option \"-o\" is given an empty name (a variable that was "
                         "never set?)")},
        ReportCase{"LogIsStream", [](RunState& r) { UsageError(r, kUsageLogIsStream, WSTR("-O")); },
                   Usage("the log option \"-O\" names \"-\": the record goes to a file, never to "
                         "standard output; write \"./-\" for a file of that name")}));

// Every way the input fails: what the platform said, or the run's own reason.
INSTANTIATE_TEST_SUITE_P(
    InputFailure, ReportTable,
    ::testing::Values(
        ReportCase{"Open",
                   [](RunState& r) { InputFailed(r, kFailureInputOpen, ERROR_FILE_NOT_FOUND); },
                   "codeshift: cannot read input \"in.txt\": No such file or directory\n"},
        ReportCase{"StandardInput",
                   [](RunState& r) {
                       InputFailed(r, kFailureInputRead, ERROR_ACCESS_DENIED);
                       r.inputName = WSTR("-");
                       r.inputIsStream = true;
                   },
                   "codeshift: cannot read input \"-\" (standard input): Permission denied\n"},
        ReportCase{"NotAFile",
                   [](RunState& r) { InputFailed(r, kFailureInputNotFile, ERROR_SUCCESS); },
                   "codeshift: cannot read input \"in.txt\": not a regular file\n"},
        ReportCase{"TooLarge",
                   [](RunState& r) { InputFailed(r, kFailureInputTooLarge, ERROR_SUCCESS); },
                   "codeshift: cannot read input \"in.txt\": larger than 4 294 963 158 bytes, "
                   "the most one run can hold\n"},
        ReportCase{"NoMemory",
                   [](RunState& r) { InputFailed(r, kFailureInputMemory, ERROR_SUCCESS); },
                   "codeshift: cannot read input \"in.txt\": not enough memory to hold it\n"},
        ReportCase{"Changed",
                   [](RunState& r) { InputFailed(r, kFailureInputChanged, ERROR_SUCCESS); },
                   "codeshift: cannot read input \"in.txt\": its size changed while it was "
                   "read\n"},
        ReportCase{"Empty", [](RunState& r) { InputFailed(r, kFailureInputEmpty, ERROR_SUCCESS); },
                   "codeshift: cannot read input \"in.txt\": the file is empty\n"},
        ReportCase{"Unsure",
                   [](RunState& r) {
                       InputFailed(r, kFailureInputUnsure, ERROR_SUCCESS);
                       r.guessedPages[0] = 1251;
                       r.guessedPages[1] = 20866;
                       r.guessedPages[2] = 866;
                       r.guessedPageCount = 3;
                   },
                   "codeshift: cannot read input \"in.txt\": its letters do not tell its 8-bit "
                   "page for sure; name it, likely -A1251, -KOI8R or -CP866\n"},
        ReportCase{"UnsureOfPagesNoOptionNames",
                   [](RunState& r) {
                       InputFailed(r, kFailureInputUnsure, ERROR_SUCCESS);
                       r.guessedPages[0] = 720;
                       r.guessedPageCount = 1;
                   },
                   "codeshift: cannot read input \"in.txt\": its letters do not tell its 8-bit "
                   "page for sure; name it, likely its page\n"},
        ReportCase{"Binary",
                   [](RunState& r) { InputFailed(r, kFailureInputBinary, ERROR_SUCCESS); },
                   "codeshift: cannot read input \"in.txt\": looks like a binary file, not text; "
                   "name its source to convert it anyway\n"},
        ReportCase{"SourcePage",
                   [](RunState& r) { InputFailed(r, kFailureSourcePage, ERROR_SUCCESS); },
                   "codeshift: cannot read input \"in.txt\": the system cannot convert from "
                   "A1251\n"},
        ReportCase{"Replaced",
                   [](RunState& r) { InputFailed(r, kFailureInputReplaced, ERROR_SUCCESS); },
                   "codeshift: cannot replace input \"in.txt\": it changed while it was being "
                   "converted; it was left as it is\n"}));

// Every way the output fails, and what each left of the target.
INSTANTIATE_TEST_SUITE_P(
    OutputFailure, ReportTable,
    ::testing::Values(
        ReportCase{"Create",
                   [](RunState& r) { OutputFailed(r, kFailureOutputCreate, ERROR_ACCESS_DENIED); },
                   "codeshift: cannot write output \"out.txt\": Permission denied; it was left "
                   "as it was\n"},
        ReportCase{"Write",
                   [](RunState& r) { OutputFailed(r, kFailureOutputWrite, ERROR_DISK_FULL); },
                   "codeshift: cannot write output \"out.txt\": No space left on device; it was "
                   "left as it was\n"},
        ReportCase{"WriteInPlace",
                   [](RunState& r) {
                       OutputFailed(r, kFailureOutputWrite, ERROR_DISK_FULL);
                       r.outputInPlace = true;
                   },
                   "codeshift: cannot write output \"out.txt\": No space left on device\n"},
        ReportCase{"ReaderGone",
                   [](RunState& r) {
                       OutputFailed(r, kFailureOutputWrite, ERROR_NO_DATA);
                       r.outputName = WSTR("-");
                       r.outputIsStream = true;
                       r.outputInPlace = true;
                   },
                   ""},
        ReportCase{"Commit",
                   [](RunState& r) { OutputFailed(r, kFailureOutputCommit, ERROR_ACCESS_DENIED); },
                   "codeshift: cannot replace output \"out.txt\": Permission denied; it was left "
                   "as it was\n"},
        ReportCase{"TargetPage",
                   [](RunState& r) {
                       OutputFailed(r, kFailureTargetPage, ERROR_SUCCESS);
                       r.targetCp = 1250;
                   },
                   "codeshift: cannot write output \"out.txt\": the system cannot convert to "
                   "A1250; it was left as it was\n"},
        ReportCase{"Owner",
                   [](RunState& r) { OutputFailed(r, kFailureOutputOwner, ERROR_SUCCESS); },
                   "codeshift: cannot write output \"out.txt\": its owner and group could not be "
                   "kept; it was left as it was\n"},
        ReportCase{"Rules",
                   [](RunState& r) { OutputFailed(r, kFailureOutputRules, ERROR_SUCCESS); },
                   "codeshift: cannot write output \"out.txt\": its permissions and access rules "
                   "could not be kept; it was left as it was\n"},
        ReportCase{"Rights",
                   [](RunState& r) { OutputFailed(r, kFailureOutputRights, ERROR_SUCCESS); },
                   "codeshift: cannot write output \"out.txt\": its set-id bits, capabilities or "
                   "file flags could not be kept; it was left as it was\n"},
        ReportCase{"FolderMoved",
                   [](RunState& r) { OutputFailed(r, kFailureOutputMoved, ERROR_SUCCESS); },
                   "codeshift: cannot write output \"out.txt\": a folder on its path was moved "
                   "or replaced while it was written; it was left as it was\n"},
        ReportCase{"Folder",
                   [](RunState& r) { OutputFailed(r, kFailureOutputFolder, ERROR_ACCESS_DENIED); },
                   "codeshift: cannot write output \"out.txt\": Permission denied; the folder it "
                   "is in must be writable to replace it, not only the file; it was left as it "
                   "was\n"},
        ReportCase{"IsInput",
                   [](RunState& r) {
                       OutputFailed(r, kFailureOutputIsInput, ERROR_SUCCESS);
                       r.outputName = WSTR("-");
                       r.outputIsStream = true;
                       r.outputInPlace = true;
                   },
                   "codeshift: cannot write output \"-\" (standard output): it is the input "
                   "file, and the text would be written over itself; nothing was written\n"},
        ReportCase{"LossRefusedAt",
                   [](RunState& r) {
                       OutputFailed(r, kFailureOutputLossy, ERROR_SUCCESS);
                       r.replacements = Replacements{1, 1, 0};
                       r.lossLine = 3;
                       r.lossColumn = 14;
                   },
                   "codeshift: cannot replace input \"in.txt\": 2 characters would be written as "
                   "\"?\" or as a similar one, the first at line 3, column 14; it was left as it "
                   "is (--lossy accepts the loss)\n"},
        ReportCase{
            "LossRefusedNowhereTold",
            [](RunState& r) {
                OutputFailed(r, kFailureOutputLossy, ERROR_SUCCESS);
                r.replacements.similar = 1;
            },
            "codeshift: cannot replace input \"in.txt\": 1 character would be written as "
            "\"?\" or as a similar one; it was left as it is (--lossy accepts the loss)\n"}));

// A converted run: nothing, or the counts, the guess and the warnings, in that order.
INSTANTIATE_TEST_SUITE_P(
    Converted, ReportTable,
    ::testing::Values(
        ReportCase{"Silent", [](RunState&) {}, ""},
        ReportCase{"OneUnreadable", [](RunState& r) { r.replacements.unreadable = 1; },
                   "codeshift: 1 character could not be read as A1251 and was written as "
                   "\"?\"\n"},
        ReportCase{"ManyMissing",
                   [](RunState& r) {
                       r.sourceCp = CP_UTF8;
                       r.targetCp = 1250;
                       r.replacements.missing = 1234;
                   },
                   "codeshift: 1 234 characters are not in A1250 and were written as \"?\"\n"},
        ReportCase{"EveryCountInOrder",
                   [](RunState& r) {
                       r.sourceCp = CP_UTF8;
                       r.targetCp = 1250;
                       r.replacements = Replacements{2, 1, 1};
                   },
                   "codeshift: 2 characters could not be read as UTF-8 and were written as "
                   "\"?\"\ncodeshift: 1 character is not in A1250 and was written as "
                   "\"?\"\ncodeshift: 1 character has no exact equivalent in A1250 and was "
                   "written as a similar one\n"},
        ReportCase{"OneFileOfMany",
                   [](RunState& r) {
                       r.oneOfMany = true;
                       r.replacements.unreadable = 2;
                   },
                   "codeshift: \"in.txt\": 2 characters could not be read as A1251 and were "
                   "written as \"?\"\n"},
        ReportCase{"PrivateUseBytes", [](RunState& r) { r.privateUseRead = 2; },
                   "codeshift: 2 bytes have no standard character in A1251 and were written as "
                   "private-use characters\n"},
        ReportCase{"OneLineEnd",
                   [](RunState& r) {
                       r.lineEnds = kLineEndsLf;
                       r.lineEndsChanged = 1;
                   },
                   "codeshift: 1 line end was written as LF\n"},
        ReportCase{"ManyLineEnds",
                   [](RunState& r) {
                       r.lineEnds = kLineEndsCrLf;
                       r.lineEndsChanged = 1000;
                   },
                   "codeshift: 1 000 line ends were written as CR LF\n"},
        ReportCase{"StrayByte", [](RunState& r) { r.guessStrayBytes = 1; },
                   "codeshift: read as -U8- (UTF-8 but for 1 stray byte)\n"},
        ReportCase{"StrayBytes", [](RunState& r) { r.guessStrayBytes = 3; },
                   "codeshift: read as -U8- (UTF-8 but for 3 stray bytes)\n"},
        ReportCase{"GuessedPage",
                   [](RunState& r) {
                       r.guessedPages[0] = 1251;
                       r.guessedPageCount = 1;
                       r.guessSure = true;
                   },
                   "codeshift: read as -A1251 (Windows-1251), found by its letters\n"},
        ReportCase{"GuessNotSure",
                   [](RunState& r) {
                       r.guessedPages[0] = 1251;
                       r.guessedPageCount = 1;
                   },
                   ""},
        ReportCase{"GuessThenLineEnds",
                   [](RunState& r) {
                       r.guessedPages[0] = 20866;
                       r.guessedPageCount = 1;
                       r.guessSure = true;
                       r.lineEnds = kLineEndsLf;
                       r.lineEndsChanged = 2;
                   },
                   "codeshift: read as -KOI8R (KOI8-R), found by its letters\ncodeshift: 2 line "
                   "ends were written as LF\n"},
        ReportCase{"OtherNames", [](RunState& r) { r.outputHadOtherNames = true; },
                   "codeshift: warning: \"out.txt\" was replaced; its other names (hard links) "
                   "keep the old text\n"},
        ReportCase{"NameShownTame",
                   [](RunState& r) {
                       r.outputName = WSTR("a\nb");
                       r.outputHadOtherNames = true;
                   },
                   "codeshift: warning: \"a?b\" was replaced; its other names (hard links) keep "
                   "the old text\n"}));

void LogFailed(RunState& run, LogRefusal refusal, DWORD error) {
    run.logRefusal = refusal;
    run.logError = error;
}

// The log's warning comes last, after whatever else the run says.
INSTANTIATE_TEST_SUITE_P(
    LogWarning, ReportTable,
    ::testing::Values(
        ReportCase{"NotOpened",
                   [](RunState& r) { LogFailed(r, kLogUnwritten, ERROR_ACCESS_DENIED); },
                   "codeshift: warning: no record written to the log \"run.log\": Permission "
                   "denied\n"},
        ReportCase{"IsInput", [](RunState& r) { LogFailed(r, kLogIsInput, ERROR_SUCCESS); },
                   "codeshift: warning: no record written to the log \"run.log\": it is the "
                   "input of this run\n"},
        ReportCase{"IsOutput", [](RunState& r) { LogFailed(r, kLogIsOutput, ERROR_SUCCESS); },
                   "codeshift: warning: no record written to the log \"run.log\": it is the "
                   "output of this run\n"},
        ReportCase{"NotALog", [](RunState& r) { LogFailed(r, kLogNotALog, ERROR_SUCCESS); },
                   "codeshift: warning: no record written to the log \"run.log\": it holds "
                   "something other than a log of codeshift\n"},
        ReportCase{"NoFile", [](RunState& r) { LogFailed(r, kLogNoFile, ERROR_SUCCESS); },
                   "codeshift: warning: no record written to the log \"run.log\": it is a device "
                   "or a file of the system, which keeps no log\n"},
        ReportCase{"PartLeft",
                   [](RunState& r) {
                       LogFailed(r, kLogUnwritten, ERROR_DISK_FULL);
                       r.logRecordLeft = kLogRecordPart;
                   },
                   "codeshift: warning: the record was written to the log \"run.log\" only in "
                   "part: No space left on device\n"},
        ReportCase{"PartTakenBack",
                   [](RunState& r) {
                       LogFailed(r, kLogUnwritten, ERROR_DISK_FULL);
                       r.logRecordLeft = kLogRecordTakenBack;
                   },
                   "codeshift: warning: the record was written to the log \"run.log\" only in "
                   "part and was taken back: No space left on device\n"},
        ReportCase{"AfterAFailure",
                   [](RunState& r) {
                       InputFailed(r, kFailureInputEmpty, ERROR_SUCCESS);
                       LogFailed(r, kLogIsOutput, ERROR_SUCCESS);
                   },
                   "codeshift: cannot read input \"in.txt\": the file is empty\ncodeshift: "
                   "warning: no record written to the log \"run.log\": it is the output of this "
                   "run\n"}));

}  // namespace

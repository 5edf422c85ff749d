// Recognition-only runs: the input's encoding comes back as the exit code and nothing is
// written; inputs that cannot be loaded end with 21 whatever the run was asked to do.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "tests/e2e/cases.h"
#include "tests/e2e/program.h"
#include "tests/support/test_files.h"

namespace {

E2eCase Recognise(const std::string& name, const std::string& bytes, int exitCode) {
    return E2eCase{name, {"in.txt"}, {{"in.txt", bytes}}, exitCode, {{"in.txt", bytes}}, {},
                   {},   ""};
}

class Recognition : public ::testing::TestWithParam<E2eCase> {};

TEST_P(Recognition, Runs) {
    RunE2eCase(GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Marks, Recognition,
    ::testing::Values(Recognise("Utf8", Bytes({0xEF, 0xBB, 0xBF, 0x41}), 11),
                      Recognise("Utf8MarkAlone", Bytes({0xEF, 0xBB, 0xBF}), 11),
                      Recognise("Utf16le", Bytes({0xFF, 0xFE, 0x41, 0}), 13),
                      Recognise("Utf16be", Bytes({0xFE, 0xFF, 0, 0x41}), 14),
                      Recognise("Utf32le", Bytes({0xFF, 0xFE, 0, 0}), 15),
                      Recognise("Utf16leStartingWithU0000", Bytes({0xFF, 0xFE, 0, 0, 0x41, 0}), 13),
                      Recognise("Utf32be", Bytes({0, 0, 0xFE, 0xFF, 0, 0, 0, 0x41}), 16),
                      Recognise("Utf32beMarkOnSixBytes", Bytes({0, 0, 0xFE, 0xFF, 0, 0x41}), 4),
                      Recognise("Utf16leMarkOnOddCount", Bytes({0xFF, 0xFE, 0x41}), 2),
                      Recognise("HalfUtf8Mark", Bytes({0xEF, 0xBB}), 2),
                      Recognise("OneByte", Bytes({0x41}), 2)),
    [](const ::testing::TestParamInfo<E2eCase>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Sniffing, Recognition,
    ::testing::Values(Recognise("ZeroPairAtOffset2", Bytes({0x41, 0, 0, 0}), 5),
                      Recognise("ZeroPairAtOffset0", Bytes({0, 0, 0, 0x41}), 6),
                      Recognise("FirstZeroPairDecides", Bytes({0x46, 0, 0, 0, 0, 0, 0, 0}), 5),
                      Recognise("Utf16leByFirstZeroAtOdd", Bytes({0x41, 0, 0x42, 0}), 3),
                      Recognise("Utf16beByFirstByteZero", Bytes({0, 0x41, 0, 0x42}), 4),
                      Recognise("Utf16beByFirstZeroAtEven", Bytes({0x41, 0x42, 0, 0x43}), 4),
                      Recognise("ZeroPairAtOddOffsetUnseen", Bytes({0x41, 0, 0, 0x42}), 3),
                      Recognise("U0100TakenAsBigEndian", Bytes({0, 0x01, 0x41, 0}), 4),
                      Recognise("SixBytesNoUtf32Test", Bytes({0x41, 0, 0, 0, 0x42, 0}), 3),
                      Recognise("TwoBytesLittleEndian", Bytes({0x41, 0}), 3),
                      Recognise("TwoBytesBigEndian", Bytes({0, 0x41}), 4),
                      Recognise("ZeroDecidesBeforeWalk", Bytes({0xC3, 0xA9, 0x41, 0}), 3),
                      Recognise("SevenBitOdd", Bytes({0x41, 0x42, 0x43}), 2),
                      Recognise("SevenBitEven", Bytes({0x41, 0x42, 0x43, 0x44}), 2),
                      Recognise("TwoByteSequence", Bytes({0xC3, 0xA9}), 1),
                      Recognise("ThreeByteSequence", Bytes({0xE2, 0x82, 0xAC, 0x41}), 1),
                      Recognise("WalkEndsAtZero", Bytes({0xC3, 0xA9, 0}), 1),
                      Recognise("WalkEndsBeforeSequence", Bytes({0x61, 0, 0xC3, 0xA9, 0x62}), 2),
                      Recognise("NoContinuationByte", Bytes({0xC3, 0x28}), 2),
                      Recognise("ThreeByteLeadThenAscii", Bytes({0xE9, 0x74, 0xE9}), 2),
                      Recognise("CutOffThreeBytes", Bytes({0x41, 0xE2, 0x82}), 2),
                      Recognise("CutOffTwoBytes", Bytes({0x41, 0x42, 0xC3}), 2),
                      Recognise("LoneContinuation", Bytes({0x80}), 2),
                      Recognise("F8IsNoLead", Bytes({0xF8, 0x88, 0x80, 0x80, 0x80}), 2),
                      Recognise("FfIsNoLead", Bytes({0xFF, 0xFE, 0x41}), 2),
                      Recognise("OverlongTwoBytes", Bytes({0xC0, 0x80}), 1),
                      Recognise("OverlongThreeBytes", Bytes({0xE0, 0x80, 0x80}), 1),
                      Recognise("EncodedSurrogate", Bytes({0xED, 0xA0, 0x80}), 1),
                      Recognise("AboveU10FFFF", Bytes({0xF4, 0x90, 0x80, 0x80}), 1),
                      Recognise("LeadF7", Bytes({0xF7, 0xBF, 0xBF, 0xBF}), 1)),
    [](const ::testing::TestParamInfo<E2eCase>& info) { return info.param.name; });

// "." is the run's own folder: a directory as input.
INSTANTIATE_TEST_SUITE_P(
    Refused, Recognition,
    ::testing::Values(E2eCase{"EmptyFile", {"in.txt"}, {{"in.txt", ""}}, 21, {}, {}, {}, ""},
                      E2eCase{"EmptyFileLeavesOutput",
                              {"-u8", "-u16", "in.txt", "out.txt"},
                              {{"in.txt", ""}, {"out.txt", "old"}},
                              21,
                              {{"out.txt", "old"}},
                              {},
                              {},
                              ""},
                      E2eCase{"EmptyFileCreatesNoOutput",
                              {"-u16", "in.txt", "out.txt"},
                              {{"in.txt", ""}},
                              21,
                              {},
                              {"out.txt"},
                              {},
                              ""},
                      E2eCase{"Directory", {"."}, {}, 21, {}, {}, {}, ""},
                      E2eCase{"DirectoryLeavesOutput",
                              {"-u16", ".", "out.txt"},
                              {{"out.txt", "old"}},
                              21,
                              {{"out.txt", "old"}},
                              {},
                              {},
                              ""}),
    [](const ::testing::TestParamInfo<E2eCase>& info) { return info.param.name; });

// A FIFO with no writer would block a plain open or read for ever; the run must not wait.
TEST(RecognitionOfFifo, EndsWith21AndCreatesNothing) {
    std::string folder = MakeTempDir();
    ASSERT_EQ(mkfifo((folder + "/in.txt").c_str(), 0600), 0);
    WriteBytes(folder + "/out.txt", "old");
    EXPECT_EQ(RunProgram({"in.txt"}, folder), 21);
    EXPECT_EQ(RunProgram({"-u8", "-u16", "in.txt", "out.txt"}, folder), 21);
    EXPECT_EQ(ReadBytes(folder + "/out.txt"), "old");
    EXPECT_FALSE(FileExists(folder + "/run.log"));
    RemoveTree(folder);
}

}  // namespace

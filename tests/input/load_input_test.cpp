// Loading the input: the block's size and layout, and every input that must be refused.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "src/input/convert_file.h"
#include "src/input/load_input.h"
#include "tests/input/input_run.h"
#include "tests/support/test_files.h"

namespace {

struct SizeCase {
    uint32_t size;
    uint32_t blockBytes;  // 0: refused
};

TEST(BlockSize, FollowsTheSizeAndRefusesWhatDoesNotFit) {
    const SizeCase cases[] = {
        {0, 32 + kBlockOverhead},   {6, 32 + kBlockOverhead},  {7, 40 + kBlockOverhead},
        {14, 40 + kBlockOverhead},  {15, 48 + kBlockOverhead}, {4096, 4128 + kBlockOverhead},
        {4294963158u, 0xFFFFFFF8u}, {4294963159u, 0},          {0xFFFFFFFEu, 0},
    };
    for (const SizeCase& c : cases) {
        EXPECT_EQ(BlockBytesFor(c.size), c.blockBytes) << "size " << c.size;
        if (c.blockBytes != 0) {
            uint64_t slack = ReadRequestFor(c.size) - c.size;
            EXPECT_TRUE(slack >= 26 && slack <= kReadSlack) << "size " << c.size;
        }
    }
}

class LoadRun : public ::testing::Test {
protected:
    void SetUp() override { folder = MakeTempDir(); }
    void TearDown() override {
        ReleaseWorkBuffer();
        RemoveTree(folder);
    }
    std::string folder;
};

TEST_F(LoadRun, ReadsTheWholeFileBehindTheHeadRoom) {
    // Larger than one head room, so the read has to fill well past it.
    std::string bytes;
    for (int i = 0; i < 10000; ++i) {
        bytes.push_back(static_cast<char>('a' + i % 26));
    }
    WriteBytes(folder + "/in.txt", bytes);
    StartRun(folder + "/in.txt", CP_UTF16LE, CP_UTF8);
    ASSERT_TRUE(LoadInput());
    const WorkBuffer& buffer = runState.workBuffer;
    EXPECT_EQ(runState.inputFile, INVALID_HANDLE_VALUE) << "the input stays open";
    EXPECT_EQ(runState.inputSize, bytes.size());
    EXPECT_EQ(runState.inputByteCount, bytes.size());
    EXPECT_EQ(BlockOffset(buffer.writeBase), kUnusedBytes);
    EXPECT_EQ(BlockOffset(buffer.readCursor), kBlockOverhead);
    EXPECT_EQ(BlockOffset(buffer.readEnd), kBlockOverhead + 10000);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.readCursor), bytes.size()), bytes);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.readEnd), 4), std::string(4, '\0'));
}

// A file whose size says 0 but whose read returns more, as a file that grew after its size was
// taken: the read may fill the slack, but the zero bytes must still fit in the block.
TEST_F(LoadRun, RefusesAReadThatLeavesNoRoomForTheZeroBytes) {
    if (!FileExists("/proc/self/status")) {
        GTEST_SKIP() << "no /proc";
    }
    StartRun("/proc/self/status", CP_AUTODETECT, CP_DETECT_ONLY);
    EXPECT_EQ(ConvertFile(), kStatusInputFailed);
    EXPECT_EQ(runState.failure, kFailureInputChanged);
    EXPECT_EQ(runState.inputSize, 0u);
    EXPECT_EQ(runState.workBuffer.block, nullptr);
}

// How each refused input is set up in the test's folder; false when the system cannot make it.
enum class Refused { Missing, Empty, Directory, Fifo, FourGiBAndMore, BlockBeyond32Bits };

struct RefusedCase {
    const char* name;
    Refused kind;
    RunFailure failure;  // the reason the run gives for it
};

std::ostream& operator<<(std::ostream& out, const RefusedCase& c) {
    return out << c.name;
}

class RefusedInput : public LoadRun, public ::testing::WithParamInterface<RefusedCase> {
protected:
    bool Make(const std::string& path, Refused kind) {
        switch (kind) {
            case Refused::Missing:
                return true;
            case Refused::Empty:
                WriteBytes(path, "");
                return true;
            case Refused::Directory:
                return mkdir(path.c_str(), 0700) == 0;
            case Refused::Fifo:
                return mkfifo(path.c_str(), 0600) == 0;
            case Refused::FourGiBAndMore:
                return Sparse(path, (off_t{1} << 32) + 10);
            case Refused::BlockBeyond32Bits:
                return Sparse(path, off_t{4294963159});
        }
        return false;
    }
    static bool Sparse(const std::string& path, off_t size) {
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0) {
            return false;
        }
        bool made = ftruncate(fd, size) == 0;
        close(fd);
        return made;
    }
};

TEST_P(RefusedInput, EndsWith21AndTouchesNoOutput) {
    std::string input = folder + "/in.txt";
    if (!Make(input, GetParam().kind)) {
        GTEST_SKIP() << "this file system cannot hold the input";
    }
    std::string output = folder + "/out.txt";
    WriteBytes(output, "old content");
    StartRun(input, CP_AUTODETECT, CP_UTF8);
    runState.outputName = WideString(output.begin(), output.end());

    EXPECT_EQ(ConvertFile(), kStatusInputFailed);
    EXPECT_EQ(runState.status, kStatusInputFailed);
    EXPECT_EQ(runState.failure, GetParam().failure);
    EXPECT_EQ(runState.requestedSourceCp, CP_AUTODETECT);
    EXPECT_EQ(runState.inputSize, 0u);
    EXPECT_EQ(runState.inputByteCount, 0u) << "nothing may be read";
    EXPECT_EQ(runState.inputHadBom, 0);
    EXPECT_EQ(runState.workBuffer.block, nullptr);
    EXPECT_EQ(runState.inputFile, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadBytes(output), "old content");
}

TEST_P(RefusedInput, RecognitionOnlyCreatesNothing) {
    std::string input = folder + "/in.txt";
    if (!Make(input, GetParam().kind)) {
        GTEST_SKIP() << "this file system cannot hold the input";
    }
    StartRun(input, CP_AUTODETECT, CP_DETECT_ONLY);
    EXPECT_EQ(ConvertFile(), kStatusInputFailed);
    EXPECT_EQ(runState.workBuffer.block, nullptr);
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        EXPECT_EQ(entry.path().filename(), "in.txt");
        ++entries;
    }
    EXPECT_EQ(entries, GetParam().kind == Refused::Missing ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, RefusedInput,
    // Folders and pipes are refused as they are opened, before their type is asked.
    ::testing::Values(RefusedCase{"Missing", Refused::Missing, kFailureInputOpen},
                      RefusedCase{"Empty", Refused::Empty, kFailureInputEmpty},
                      RefusedCase{"Directory", Refused::Directory, kFailureInputOpen},
                      RefusedCase{"Fifo", Refused::Fifo, kFailureInputOpen},
                      RefusedCase{"FourGiBAndMore", Refused::FourGiBAndMore, kFailureInputTooLarge},
                      RefusedCase{"BlockBeyond32Bits", Refused::BlockBeyond32Bits,
                                  kFailureInputTooLarge}),
    [](const ::testing::TestParamInfo<RefusedCase>& info) { return info.param.name; });

}  // namespace

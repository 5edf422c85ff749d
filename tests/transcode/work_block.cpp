#include "tests/transcode/work_block.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "src/transcode/flush_output.h"
#include "src/transcode/output_step.h"
#include "src/transcode/route_hooks.h"
#include "src/transcode/transcode_buffer.h"
#include "tests/support/test_files.h"

void LayOutInput(const std::string& file, uint32_t markLength, uint8_t poison) {
    uint32_t size = static_cast<uint32_t>(file.size());
    uint8_t* block = static_cast<uint8_t*>(std::malloc(BlockBytesFor(size)));
    std::memset(block, poison, BlockBytesFor(size));
    std::memcpy(block + kBlockOverhead, file.data(), size);
    std::memset(block + kBlockOverhead + size, 0, kZeroBytes);
    runState.workBuffer.block = block;
    runState.workBuffer.writeBase = block + kUnusedBytes;
    runState.workBuffer.readCursor = block + kBlockOverhead + markLength;
    runState.workBuffer.readEnd = block + kBlockOverhead + size;
    runState.inputSize = size;
    runState.inputByteCount = size - markLength;
    runState.inputHadBom = markLength > 0 ? 1 : 0;
}

static Conversion* watching = nullptr;

static void Watch(const uint8_t* bytes, DWORD count) {
    watching->pieces.push_back(count);
    watching->flushed.append(reinterpret_cast<const char*>(bytes), count);
}

Conversion Convert(CodePageId source, CodePageId target, bool writeBom, const std::string& file,
                   uint32_t markLength) {
    std::string folder = MakeTempDir();
    runState = RunState{};
    runState.sourceCp = source;
    runState.requestedSourceCp = source;
    runState.targetCp = target;
    runState.writeBom = writeBom ? 1 : 0;
    runState.outputName = WideAscii(folder + "/out.txt");
    LayOutInput(file, markLength);
    Conversion result{};
    watching = &result;
    flushObserver = Watch;
    result.status = WriteOutputFile();
    flushObserver = nullptr;
    watching = nullptr;
    result.output = ReadBytes(folder + "/out.txt");
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        EXPECT_EQ(entry.path().filename().string(), "out.txt") << "left behind";
    }
    result.outputByteCount = runState.outputByteCount;
    result.replacements = runState.replacements;
    EXPECT_EQ(runState.workBuffer.block, nullptr) << "the block must be released";
    RemoveTree(folder);
    return result;
}

std::string TranscodeOnly(CodePageId source, CodePageId target, const std::string& text) {
    std::string folder = MakeTempDir();
    runState = RunState{};
    runState.sourceCp = source;
    runState.targetCp = target;
    LayOutInput(text, 0);
    runState.outputFile = CreateFileW(WideAscii(folder + "/out").c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(runState.outputFile, INVALID_HANDLE_VALUE);
    TranscodeBuffer();
    CloseHandle(runState.outputFile);
    const uint8_t* end = runState.workBuffer.readEnd;
    EXPECT_TRUE(end[0] == 0 && end[1] == 0 && end[2] == 0 && end[3] == 0)
        << "the zero bytes behind the input were changed";
    std::free(runState.workBuffer.block);
    runState.workBuffer = WorkBuffer{nullptr, nullptr, nullptr, nullptr};
    std::string written = ReadBytes(folder + "/out");
    RemoveTree(folder);
    return written;
}

WideString WideAscii(const std::string& text) {
    return WideString(text.begin(), text.end());
}

#include "tests/transcode/work_block.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "src/platform/test_hooks.h"
#include "src/transcode/flush_output.h"
#include "src/transcode/output_step.h"
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
    ResetRunState();
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
    EXPECT_EQ(runState.workBuffer.block, nullptr) << "the block must be released";
    RemoveTree(folder);
    return result;
}

std::string TranscodeOnly(CodePageId source, CodePageId target, const std::string& text) {
    std::string folder = MakeTempDir();
    ResetRunState();
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

std::string Utf8Of(const std::vector<uint32_t>& codePoints) {
    std::string bytes;
    for (uint32_t cp : codePoints) {
        if (cp < 0x80) {
            bytes.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            bytes.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            bytes.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            bytes.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            bytes.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            bytes.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            bytes.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            bytes.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            bytes.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            bytes.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return bytes;
}

static void PutUnit(std::string* bytes, uint32_t value, int width, bool bigEndian) {
    for (int i = 0; i < width; ++i) {
        int shift = bigEndian ? 8 * (width - 1 - i) : 8 * i;
        bytes->push_back(static_cast<char>(value >> shift));
    }
}

std::string Utf16Of(const std::vector<uint32_t>& codePoints, bool bigEndian) {
    std::string bytes;
    for (uint32_t cp : codePoints) {
        if (cp < 0x10000) {
            PutUnit(&bytes, cp, 2, bigEndian);
        } else {
            PutUnit(&bytes, 0xD800 + ((cp - 0x10000) >> 10), 2, bigEndian);
            PutUnit(&bytes, 0xDC00 + ((cp - 0x10000) & 0x3FF), 2, bigEndian);
        }
    }
    return bytes;
}

std::string Utf32Of(const std::vector<uint32_t>& codePoints, bool bigEndian) {
    std::string bytes;
    for (uint32_t cp : codePoints) {
        PutUnit(&bytes, cp, 4, bigEndian);
    }
    return bytes;
}

std::string UnicodeOf(const std::vector<uint32_t>& codePoints, CodePageId form) {
    switch (form) {
        case static_cast<CodePageId>(CP_UTF8):
            return Utf8Of(codePoints);
        case CP_UTF16LE:
        case CP_UTF16BE:
            return Utf16Of(codePoints, form == CP_UTF16BE);
        default:
            return Utf32Of(codePoints, form == CP_UTF32BE);
    }
}

// The run log from random run states: any encodings, flags, counts, statuses and names (long
// ones included), written afresh and then appended to. The record must keep its shape, show
// the names whole, and leave the run state (but for the log mode) as it found it.
//
// Layout of the fuzz data: 16 bytes of fields, then the input and output names separated by a
// zero byte (UTF-8 as Linux names are, any byte allowed).
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "src/cmdline/name_table.h"
#include "src/log/run_log.h"
#include "src/platform/posix/wide_text.h"
#include "src/state/run_state.h"
#include "tests/support/test_files.h"

namespace {

// Identifiers a run can leave behind, and anything else a 32-bit field can hold.
CodePageId PickCodePage(const uint8_t* bytes) {
    static const CodePageId kKnown[] = {CP_AUTODETECT,
                                        CP_UNSET,
                                        CP_DETECT_ONLY,
                                        CP_UTF8_NOBOM,
                                        CP_UTF16LE_NOBOM,
                                        CP_UTF32BE_NOBOM,
                                        CP_UTF16LE,
                                        CP_UTF16BE,
                                        CP_UTF32LE,
                                        CP_UTF32BE,
                                        1251,
                                        28605,
                                        20866,
                                        0,
                                        1,
                                        2};
    uint32_t raw = static_cast<uint32_t>(bytes[1]) | (static_cast<uint32_t>(bytes[2]) << 8) |
                   (static_cast<uint32_t>(bytes[3]) << 16);
    if (bytes[0] < 0xF0) {
        return bytes[0] % 17 == 16 ? static_cast<CodePageId>(CP_UTF8) : kKnown[bytes[0] % 17 % 16];
    }
    return static_cast<CodePageId>(raw | (static_cast<uint32_t>(bytes[0] & 0x0F) << 28));
}

uint32_t Read32(const uint8_t* bytes) {
    uint32_t v = 0;
    std::memcpy(&v, bytes, 4);
    return v;
}

// UTF-8 of text that holds no lone surrogate; false when it holds one.
bool Utf8Of(const WideString& text, std::string* out) {
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            u = 0x10000 + ((u - 0xD800) << 10) + (text[++i] - 0xDC00u);
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            return false;
        }
        if (u < 0x80) {
            out->push_back(static_cast<char>(u));
        } else if (u < 0x800) {
            out->push_back(static_cast<char>(0xC0 | (u >> 6)));
            out->push_back(static_cast<char>(0x80 | (u & 0x3F)));
        } else if (u < 0x10000) {
            out->push_back(static_cast<char>(0xE0 | (u >> 12)));
            out->push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
            out->push_back(static_cast<char>(0x80 | (u & 0x3F)));
        } else {
            out->push_back(static_cast<char>(0xF0 | (u >> 18)));
            out->push_back(static_cast<char>(0x80 | ((u >> 12) & 0x3F)));
            out->push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
            out->push_back(static_cast<char>(0x80 | (u & 0x3F)));
        }
    }
    return true;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    FUZZ_CHECK(start == text.size());  // every line ends with a line feed
    return lines;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// "1 234 567" back to 1234567; false when it is not grouped by threes with single spaces.
bool UngroupedEquals(const std::string& grouped, uint32_t value) {
    std::string digits = std::to_string(value);
    std::string expected;
    size_t lead = digits.size() % 3;
    expected = digits.substr(0, lead);
    for (size_t at = lead; at < digits.size(); at += 3) {
        if (!expected.empty()) {
            expected.push_back(' ');
        }
        expected += digits.substr(at, 3);
    }
    return grouped == expected;
}

const std::string kBullet = " \xE2\x80\xA2 ";

// A name the record shows as it is: no control character (C0, DEL, C1), which it escapes.
bool Plain(const std::string& utf8) {
    for (size_t i = 0; i < utf8.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        bool c1 =
            c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) < 0xA0;
        if (c < 0x20 || c == 0x7F || c1) {
            return false;
        }
    }
    return true;
}

// One record, as text after any byte order mark.
void CheckRecord(const std::string& record) {
    std::vector<std::string> lines = Lines(record);
    bool detectOnly = runState.targetCp == CP_DETECT_ONLY;
    FUZZ_CHECK(lines.size() == (detectOnly ? 9u : 10u));
    FUZZ_CHECK(lines[0].empty());
    FUZZ_CHECK(lines[1] == std::string(52, '-'));
    FUZZ_CHECK(lines[2].size() == 19 && lines[2][2] == '-' && lines[2][5] == '-' &&
               lines[2][10] == ' ' && lines[2][13] == ':' && lines[2][16] == ':');
    FUZZ_CHECK(StartsWith(lines[3], kBullet + " CurrentDir:  "));
    FUZZ_CHECK(StartsWith(lines[4], kBullet + "CommandLine:  "));
    std::string name;
    if (Utf8Of(runState.inputName, &name) && Plain(name)) {
        FUZZ_CHECK(lines[5] == kBullet + "Input  File:  " + name);
    }
    size_t at = 6;
    if (!detectOnly) {
        name.clear();
        if (Utf8Of(runState.outputName, &name) && Plain(name)) {
            FUZZ_CHECK(lines[at] == kBullet + "Output File:  " + name);
        }
        ++at;
    }
    const std::string codePage = kBullet + "   CodePage:  ";
    FUZZ_CHECK(StartsWith(lines[at], codePage));
    FUZZ_CHECK((lines[at].find(" ==>> ", codePage.size()) != std::string::npos) == !detectOnly);
    ++at;
    const std::string size = kBullet + "       Size:  ";
    FUZZ_CHECK(StartsWith(lines[at], size));
    std::string sizes = lines[at].substr(size.size());
    if (detectOnly) {
        FUZZ_CHECK(sizes.size() >= 2 && sizes.compare(sizes.size() - 2, 2, "  ") == 0);
        FUZZ_CHECK(UngroupedEquals(sizes.substr(0, sizes.size() - 2), runState.inputSize));
    } else {
        size_t arrow = sizes.find(" ==>> ");
        FUZZ_CHECK(arrow != std::string::npos);
        FUZZ_CHECK(UngroupedEquals(sizes.substr(0, arrow), runState.inputSize));
        FUZZ_CHECK(UngroupedEquals(sizes.substr(arrow + 6), runState.outputByteCount));
    }
    ++at;
    char code[64];
    std::snprintf(code, sizeof(code), "Return Code:  %u (0x%02x) %s", runState.status,
                  runState.status,
                  runState.status >= kStatusUsage ? "\xC2\xA1"
                                                    "Error!"
                                                  : " ");
    FUZZ_CHECK(lines[at] == kBullet + code);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 16) {
        return 0;
    }
    static const std::string folder = MakeTempDir();
    static const std::string logPath = folder + "/run.log";

    runState = RunState{};
    runState.status = data[0];
    runState.sourceCp = PickCodePage(data + 1);
    runState.targetCp = PickCodePage(data + 4);
    runState.requestedSourceCp = (data[7] & 1) ? runState.sourceCp : PickCodePage(data + 7);
    runState.writeBom = data[10] & 1;
    runState.inputHadBom = (data[10] >> 1) & 1;
    runState.inputSize = Read32(data + 11) >> (data[15] & 31);
    runState.outputByteCount = Read32(data + 11) * 2654435761u;
    std::string names(reinterpret_cast<const char*>(data + 16), size - 16);
    for (char& c : names) {
        if (c == '\n') {
            c = '_';  // a line feed in a name would only shift the lines checked here
        }
    }
    size_t split = names.find('\0');
    runState.inputName = WideFromBytes(names.substr(0, split));
    if (split != std::string::npos) {
        runState.outputName = WideFromBytes(names.substr(split + 1));
    }
    for (WCHAR& c : runState.outputName) {
        if (c == 0) {
            c = '_';
        }
    }
    runState.logName = WideFromBytes(logPath);
    RunState before = runState;

    // Written afresh, then a second record appended to it.
    unlink(logPath.c_str());
    runState.logMode = kLogAppend;
    WriteRunLog();
    FUZZ_CHECK(runState.logMode == kLogOverwrite);  // the log was made by this run
    std::string first = ReadBytes(logPath);
    FUZZ_CHECK(first.size() > 3 && first.compare(0, 3, "\xEF\xBB\xBF") == 0);
    CheckRecord(first.substr(3));

    runState.logMode = kLogAppend;
    WriteRunLog();
    FUZZ_CHECK(runState.logMode == kLogAppend);
    std::string both = ReadBytes(logPath);
    FUZZ_CHECK(both.size() > first.size() && both.compare(0, first.size(), first) == 0);
    CheckRecord(both.substr(first.size()));

    // Nothing but the log mode is the log's to change.
    FUZZ_CHECK(runState.status == before.status && runState.sourceCp == before.sourceCp);
    FUZZ_CHECK(runState.targetCp == before.targetCp);
    FUZZ_CHECK(runState.requestedSourceCp == before.requestedSourceCp);
    FUZZ_CHECK(runState.writeBom == before.writeBom);
    FUZZ_CHECK(runState.inputHadBom == before.inputHadBom);
    FUZZ_CHECK(runState.inputSize == before.inputSize);
    FUZZ_CHECK(runState.outputByteCount == before.outputByteCount);
    FUZZ_CHECK(runState.inputName == before.inputName);
    FUZZ_CHECK(runState.outputName == before.outputName);
    return 0;
}

// The least any conversion of this design can cost, as a program the benchmark times beside
// codeshift: one read of the whole input into a fresh block, a given number of bytes written
// from that block to a temporary beside the target, and the rename over the target. It goes
// through the same platform services as codeshift (the block prepared as codeshift prepares it,
// the same temporary and the same replacement) but converts nothing, so codeshift's time over
// this one is what the conversion adds.
//
//   codeshift_io_floor INPUT TARGET OUTPUT_BYTES [copy]
//
// With "copy" (the routes that keep the text's form, which codeshift copies inside the kernel):
// the output is copied from the input inside the kernel as codeshift copies it, behind a mark it
// adds or past one it removes, instead of being read and written.
//
// The benchmark passes the size of codeshift's own output for the same route, so both programs
// move the same bytes. Names are ASCII (the benchmark's own). Exit status 0, or 1 with a message
// when a step fails.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "src/platform/platform.h"
#include "src/state/work_buffer.h"

namespace {

WideString Wide(const char* name) {
    WideString wide;
    for (; *name != 0; ++name) {
        wide.push_back(static_cast<WCHAR>(static_cast<unsigned char>(*name)));
    }
    return wide;
}

int Fail(const char* what, const char* name) {
    std::fprintf(stderr, "codeshift_io_floor: cannot %s %s\n", what, name);
    return 1;
}

// The output as the copy routes make it: a mark's bytes written, then the input's text copied
// inside the kernel past any bytes the output leaves out. False where the kernel declines.
bool CopyInKernel(HANDLE input, DWORD size, unsigned long long outputBytes,
                  const WideString& targetName) {
    WideString tempName;
    HANDLE output = INVALID_HANDLE_VALUE;
    if (CreateReplacementFile(targetName.c_str(), &output, &tempName).problem != kReplaceDone) {
        return false;
    }
    static const uint8_t kMark[3] = {0xEF, 0xBB, 0xBF};
    DWORD added = outputBytes > size ? static_cast<DWORD>(outputBytes - size) : 0;
    uint32_t count = static_cast<uint32_t>(outputBytes - added);
    DWORD written = 0;
    bool copied = KeepOpenForCopy(input) && added <= sizeof(kMark) &&
                  (added == 0 || WriteFile(output, kMark, added, &written, nullptr)) &&
                  CopyFileText(input, size - count, count, output) == kFileCopyDone;
    if (!copied) {
        CloseHandle(output);
        DiscardReplacementFile(tempName.c_str());
        return false;
    }
    CloseHandle(input);
    return CloseHandle(output) &&
           CommitReplacementFile(tempName.c_str(), targetName.c_str(), nullptr).problem ==
               kReplaceDone;
}

}  // namespace

int main(int argc, char** argv) {
    bool copy = argc == 5 && std::strcmp(argv[4], "copy") == 0;
    if (argc != 4 && !copy) {
        std::fprintf(stderr, "usage: codeshift_io_floor INPUT TARGET OUTPUT_BYTES [copy]\n");
        return 2;
    }
    WideString inputName = Wide(argv[1]);
    WideString targetName = Wide(argv[2]);
    unsigned long long outputBytes = std::strtoull(argv[3], nullptr, 10);

    HANDLE input = CreateFileW(inputName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (input == INVALID_HANDLE_VALUE) {
        return Fail("open", argv[1]);
    }
    DWORD size = GetFileSize(input, nullptr);
    if (copy && CopyInKernel(input, size, outputBytes, targetName)) {
        return 0;
    }
    // The block and the one read codeshift makes: more than the file holds, so one read
    // returns it all.
    uint8_t* block = static_cast<uint8_t*>(std::malloc(BlockBytesFor(size)));
    if (size == INVALID_FILE_SIZE || BlockBytesFor(size) == 0 || block == nullptr) {
        return Fail("load", argv[1]);
    }
    PrepareLargeBlock(block, BlockBytesFor(size));
    uint8_t* text = block + kBlockOverhead;
    DWORD count = 0;
    if (!ReadFile(input, text, static_cast<DWORD>(ReadRequestFor(size)), &count, nullptr) ||
        count == 0) {
        return Fail("read", argv[1]);
    }
    CloseHandle(input);

    WideString tempName;
    HANDLE output = INVALID_HANDLE_VALUE;
    if (CreateReplacementFile(targetName.c_str(), &output, &tempName).problem != kReplaceDone) {
        return Fail("create a temporary for", argv[2]);
    }
    // An output larger than the input (UTF-8 to UTF-32) is the text written again from its start.
    for (unsigned long long left = outputBytes; left > 0;) {
        DWORD piece = left < count ? static_cast<DWORD>(left) : count;
        DWORD written = 0;
        if (!WriteFile(output, text, piece, &written, nullptr) || written != piece) {
            return Fail("write", argv[2]);
        }
        left -= piece;
    }
    if (!CloseHandle(output) ||
        CommitReplacementFile(tempName.c_str(), targetName.c_str(), nullptr).problem !=
            kReplaceDone) {
        DiscardReplacementFile(tempName.c_str());
        return Fail("replace", argv[2]);
    }
    std::free(block);
    return 0;
}

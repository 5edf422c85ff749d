// The portable kernels, and the choice of the level the routes use. Runs of ASCII are found
// eight bytes at a time in ordinary 64-bit words; everything else goes character by character
// through the same steps as the per-character routes, only without the flush test.
#include "src/transcode/route_kernels.h"

#include <cstring>

#include "src/platform/test_hooks.h"
#include "src/transcode/route_steps.h"

bool sourceKeepsAscii = false;
bool targetKeepsAscii = false;

namespace {

uint64_t Load64(const uint8_t* at) {
    uint64_t word;
    std::memcpy(&word, at, 8);
    return word;
}

bool IsAscii8(const uint8_t* at) {
    return (Load64(at) & 0x8080808080808080ull) == 0;
}

bool HasWholeUnit16(const uint8_t* read, const uint8_t* end) {
    return end - read >= 2;
}

bool HasWholeUnit32(const uint8_t* read, const uint8_t* end) {
    return end - read >= 4;
}

const uint8_t* Utf8ToUtf16(const uint8_t* read, const uint8_t* limit, const uint8_t*,
                           uint8_t** write, uint64_t* replaced) {
    uint8_t* w = *write;
    uint64_t r = 0;
    while (read < limit) {
        if (limit - read >= 8 && IsAscii8(read)) {
            for (int i = 0; i < 8; ++i) {
                StoreUnit16(w + 2 * i, read[i]);
            }
            read += 8;
            w += 16;
            continue;
        }
        StepUtf8ToUtf16(read, w, r);
    }
    *write = w;
    *replaced += r;
    return read;
}

const uint8_t* Utf8ToUtf32(const uint8_t* read, const uint8_t* limit, const uint8_t*,
                           uint8_t** write, uint64_t* replaced) {
    uint8_t* w = *write;
    uint64_t r = 0;
    while (read < limit) {
        if (limit - read >= 8 && IsAscii8(read)) {
            for (int i = 0; i < 8; ++i) {
                StoreUnit32(w + 4 * i, read[i]);
            }
            read += 8;
            w += 32;
            continue;
        }
        StepUtf8ToUtf32(read, w, r);
    }
    *write = w;
    *replaced += r;
    return read;
}

const uint8_t* Utf8ToCodePage(const uint8_t* read, const uint8_t* limit, const uint8_t*,
                              uint8_t** write, uint64_t* replaced) {
    uint8_t* w = *write;
    uint64_t r = 0;
    while (read < limit) {
        if (targetKeepsAscii && limit - read >= 8 && IsAscii8(read)) {
            do {
                std::memcpy(w, read, 8);
                read += 8;
                w += 8;
            } while (limit - read >= 8 && IsAscii8(read));
            continue;
        }
        if (!StepUtf8ToCodePage(read, w, r)) {
            break;
        }
    }
    *write = w;
    *replaced += r;
    return read;
}

const uint8_t* Utf16ToUtf8(const uint8_t* read, const uint8_t* limit, const uint8_t* end,
                           uint8_t** write, uint64_t* replaced) {
    uint8_t* w = *write;
    uint64_t r = 0;
    while (read < limit && HasWholeUnit16(read, end)) {
        // Four units below 0x80 are four bytes.
        if (limit - read >= 8 && (Load64(read) & 0xFF80FF80FF80FF80ull) == 0) {
            for (int i = 0; i < 4; ++i) {
                w[i] = read[2 * i];
            }
            read += 8;
            w += 4;
            continue;
        }
        StepUtf16ToUtf8(read, w, r);
    }
    *write = w;
    *replaced += r;
    return read;
}

const uint8_t* Utf16ToUtf32(const uint8_t* read, const uint8_t* limit, const uint8_t* end,
                            uint8_t** write, uint64_t* replaced) {
    uint8_t* w = *write;
    uint64_t r = 0;
    while (read < limit && HasWholeUnit16(read, end)) {
        StepUtf16ToUtf32(read, w, r);
    }
    *write = w;
    *replaced += r;
    return read;
}

const uint8_t* Utf16ToCodePage(const uint8_t* read, const uint8_t* limit, const uint8_t* end,
                               uint8_t** write, uint64_t* replaced) {
    uint8_t* w = *write;
    uint64_t r = 0;
    while (read < limit && HasWholeUnit16(read, end)) {
        StepUtf16ToCodePage(read, w, r);
    }
    *write = w;
    *replaced += r;
    return read;
}

const uint8_t* Utf32ToUtf8(const uint8_t* read, const uint8_t* limit, const uint8_t* end,
                           uint8_t** write, uint64_t* replaced) {
    uint8_t* w = *write;
    uint64_t r = 0;
    while (read < limit && HasWholeUnit32(read, end)) {
        if (limit - read >= 8 && (Load64(read) & 0xFFFFFF80FFFFFF80ull) == 0) {
            w[0] = read[0];
            w[1] = read[4];
            read += 8;
            w += 2;
            continue;
        }
        StepUtf32ToUtf8(read, w, r);
    }
    *write = w;
    *replaced += r;
    return read;
}

const uint8_t* Utf32ToUtf16(const uint8_t* read, const uint8_t* limit, const uint8_t* end,
                            uint8_t** write, uint64_t* replaced) {
    uint8_t* w = *write;
    uint64_t r = 0;
    while (read < limit && HasWholeUnit32(read, end)) {
        StepUtf32ToUtf16(read, w, r);
    }
    *write = w;
    *replaced += r;
    return read;
}

const uint8_t* Utf32ToCodePage(const uint8_t* read, const uint8_t* limit, const uint8_t* end,
                               uint8_t** write, uint64_t* replaced) {
    uint8_t* w = *write;
    uint64_t r = 0;
    while (read < limit && HasWholeUnit32(read, end)) {
        StepUtf32ToCodePage(read, w, r);
    }
    *write = w;
    *replaced += r;
    return read;
}

const uint8_t* CodePageToUtf8(const uint8_t* read, const uint8_t* limit, const uint8_t*,
                              uint8_t** write, uint64_t* replaced) {
    uint8_t* w = *write;
    uint64_t r = 0;
    while (read < limit) {
        if (sourceKeepsAscii && limit - read >= 8 && IsAscii8(read)) {
            // A run of ASCII in a loop of its own, which stays tight.
            do {
                std::memcpy(w, read, 8);
                read += 8;
                w += 8;
            } while (limit - read >= 8 && IsAscii8(read));
            continue;
        }
        StepCodePageToUtf8(read, w, r);
    }
    *write = w;
    *replaced += r;
    return read;
}

const uint8_t* CodePageToUtf16(const uint8_t* read, const uint8_t* limit, const uint8_t*,
                               uint8_t** write, uint64_t* replaced) {
    uint8_t* w = *write;
    uint64_t r = 0;
    while (read < limit) {
        StepCodePageToUtf16(read, w, r);
    }
    *write = w;
    *replaced += r;
    return read;
}

const uint8_t* CodePageToUtf32(const uint8_t* read, const uint8_t* limit, const uint8_t*,
                               uint8_t** write, uint64_t* replaced) {
    uint8_t* w = *write;
    uint64_t r = 0;
    while (read < limit) {
        StepCodePageToUtf32(read, w, r);
    }
    *write = w;
    *replaced += r;
    return read;
}

// Sixteen bytes a round, their counts added at once: the tightest loop there is, where one
// more instruction per byte would show.
const uint8_t* CodePageToCodePage(const uint8_t* read, const uint8_t* limit, const uint8_t*,
                                  uint8_t** write, uint64_t* replaced) {
    uint8_t* w = *write;
    uint64_t r = 0;
    const uint32_t* entries = sourcePage.targetBytes;
    while (limit - read >= 16) {
        uint32_t sum = 0;
        for (int i = 0; i < 16; ++i) {
            uint32_t entry = entries[read[i]];
            w[i] = static_cast<uint8_t>(entry);
            sum += entry;
        }
        r += sum >> kReplacedShift;
        read += 16;
        w += 16;
    }
    while (read < limit) {
        StepCodePageToCodePage(read, w, r);
    }
    *write = w;
    *replaced += r;
    return read;
}

void SwapUnits16(uint8_t* bytes, size_t count) {
    for (size_t i = 0; count - i >= 2; i += 2) {
        uint8_t first = bytes[i];
        bytes[i] = bytes[i + 1];
        bytes[i + 1] = first;
    }
}

void SwapUnits32(uint8_t* bytes, size_t count) {
    for (size_t i = 0; count - i >= 4; i += 4) {
        uint8_t b0 = bytes[i];
        uint8_t b1 = bytes[i + 1];
        bytes[i] = bytes[i + 3];
        bytes[i + 1] = bytes[i + 2];
        bytes[i + 2] = b1;
        bytes[i + 3] = b0;
    }
}

KernelLevel chosenLevel = kKernelLevels;  // not yet chosen

}  // namespace

const RouteKernels kPortableKernels = {
    Utf8ToUtf16,     Utf8ToUtf32,     Utf8ToCodePage,     Utf16ToUtf8,     Utf16ToUtf32,
    Utf16ToCodePage, Utf32ToUtf8,     Utf32ToUtf16,       Utf32ToCodePage, CodePageToUtf8,
    CodePageToUtf16, CodePageToUtf32, CodePageToCodePage, SwapUnits16,     SwapUnits32,
};

KernelLevel BestKernelLevel() {
    if (Ssse3Kernels() != nullptr) {
        return kKernelSsse3;
    }
    if (Sse2Kernels() != nullptr) {
        return kKernelSse2;
    }
    return kKernelPortable;
}

const RouteKernels& KernelsAt(KernelLevel level) {
    const RouteKernels* kernels = nullptr;
    if (level == kKernelSsse3) {
        kernels = Ssse3Kernels();
    } else if (level == kKernelSse2) {
        kernels = Sse2Kernels();
    }
    return kernels != nullptr ? *kernels : kPortableKernels;
}

const RouteKernels& ActiveKernels() {
    if (chosenLevel == kKernelLevels) {
        chosenLevel = BestKernelLevel();
    }
    return KernelsAt(chosenLevel);
}

void UseKernelLevel(KernelLevel level) {
    chosenLevel = level;
}

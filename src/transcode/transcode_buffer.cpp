#include "src/transcode/transcode_buffer.h"

#include "src/state/run_state.h"
#include "src/transcode/codecs/code_page_tables.h"
#include "src/transcode/fast/fast_routes.h"
#include "src/transcode/kernels/route_kernels.h"
#include "src/transcode/plain/character_steps.h"
#include "src/transcode/plain/plain_routes.h"
#include "src/transcode/plain/utf8_repair.h"
#include "src/transcode/private_use_count.h"
#include "src/transcode/route_hooks.h"

bool usePlainRoutes = false;

EncodingFamily FamilyOf(CodePageId cp) {
    switch (cp) {
        case static_cast<CodePageId>(CP_UTF8):
            return kFamilyUtf8;
        case CP_UTF16LE:
        case CP_UTF16BE:
            return kFamilyUtf16;
        case CP_UTF32LE:
        case CP_UTF32BE:
            return kFamilyUtf32;
        default:
            return kFamilyCodePage;
    }
}

namespace {

// A trailing partial unit is left alone, and the zero bytes behind the input are never touched.
void NormaliseByteOrder() {
    uint8_t* text = runState.workBuffer.readCursor;
    uint32_t count = runState.inputByteCount;
    const RouteKernels& kernels = usePlainRoutes ? kPortableKernels : ActiveKernels();
    if (runState.sourceCp == CP_UTF16BE) {
        kernels.swapUnits16(text, count);
    } else if (runState.sourceCp == CP_UTF32BE) {
        kernels.swapUnits32(text, count);
    }
}

typedef void (*Route)();

// One conversion route: its character, the kernel that takes long stretches of it, and the most
// its output gains on its input (kGainNum / kGainDen bytes per byte read), which tells the fast
// route how far its kernel may run without a flush test.
template <RouteCharacter character, RouteKernel RouteKernels::*kernel, size_t kGainNum,
          size_t kGainDen>
void Convert() {
    if (usePlainRoutes) {
        RunPlainRoute<character>();
    } else {
        RunFastRoute<character, kGainNum, kGainDen>(ActiveKernels().*kernel);
    }
}

void Copy() {
    if (usePlainRoutes) {
        PlainCopyBytes();
    } else {
        CopyBytes();
    }
}

typedef RouteKernels K;

// Rows: source family; columns: target family. A UTF-16 or UTF-32 source's trailing partial
// unit becomes one "?" in the target's form: a byte, a 16-bit or a 32-bit unit.
const Route kRoutes[4][4] = {
    {Copy, Convert<WholeCharacter<StepUtf8ToUtf16>, &K::utf8ToUtf16, 1, 1>,
     Convert<WholeCharacter<StepUtf8ToUtf32>, &K::utf8ToUtf32, 3, 1>,
     Convert<Utf8ToCodePageCharacter, &K::utf8ToCodePage, 2, 1>},
    {Convert<UnitCharacter<2, StoreByte, StepUtf16ToUtf8>, &K::utf16ToUtf8, 1, 2>, Copy,
     Convert<UnitCharacter<2, StoreUnit32, StepUtf16ToUtf32>, &K::utf16ToUtf32, 1, 1>,
     Convert<UnitCharacter<2, StoreByte, StepUtf16ToCodePage>, &K::utf16ToCodePage, 0, 1>},
    {Convert<UnitCharacter<4, StoreByte, StepUtf32ToUtf8>, &K::utf32ToUtf8, 0, 1>,
     Convert<UnitCharacter<4, StoreUnit16, StepUtf32ToUtf16>, &K::utf32ToUtf16, 0, 1>, Copy,
     Convert<UnitCharacter<4, StoreByte, StepUtf32ToCodePage>, &K::utf32ToCodePage, 0, 1>},
    {Convert<WholeCharacter<StepCodePageToUtf8>, &K::codePageToUtf8, 2, 1>,
     Convert<WholeCharacter<StepCodePageToUtf16>, &K::codePageToUtf16, 1, 1>,
     Convert<WholeCharacter<StepCodePageToUtf32>, &K::codePageToUtf32, 3, 1>,
     Convert<WholeCharacter<StepCodePageToCodePage>, &K::codePageToCodePage, 0, 1>},
};

}  // namespace

void TranscodeBuffer() {
    NormaliseByteOrder();
    EncodingFamily source = FamilyOf(runState.sourceCp);
    CodePageId targetCp = OutputCp(runState);
    EncodingFamily target = FamilyOf(targetCp);
    // Stray bytes the guess found are no text, whatever the target form.
    if (source == kFamilyUtf8 && target == kFamilyUtf8 && runState.guessStrayBytes > 0) {
        RunPlainRoute<WholeCharacter<StepUtf8ToUtf8>>();
        return;
    }
    // The same byte code page on both sides is a copy; only two different pages convert.
    bool samePage =
        source == kFamilyCodePage && target == kFamilyCodePage && runState.sourceCp == targetCp;
    if (samePage) {
        Copy();
        return;
    }
    // The tables the route looks its characters up in: the target page first, since a copy
    // between two pages goes through it.
    if (target == kFamilyCodePage) {
        LoadTargetPage(static_cast<UINT>(targetCp));
    }
    if (source == kFamilyCodePage) {
        LoadSourcePage(static_cast<UINT>(runState.sourceCp), target == kFamilyCodePage);
        // Before the route writes over the input. A target page writes such a character as "?"
        // (counted as missing there) or as its own byte for it.
        if (target != kFamilyCodePage && sourcePage.privateUseCount > 0) {
            runState.privateUseRead =
                CountPrivateUseBytes(runState.workBuffer.readCursor, runState.inputByteCount);
        }
    }
    if ((source == kFamilyCodePage || target == kFamilyCodePage) && !usePlainRoutes) {
        ActiveKernels().loadPages();
    }
    kRoutes[source][target]();
}

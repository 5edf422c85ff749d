#include "src/transcode/transcode_buffer.h"

#include "src/platform/test_hooks.h"
#include "src/run/run_state.h"
#include "src/transcode/plain_routes.h"
#include "src/transcode/route_kernels.h"
#include "src/transcode/routes.h"

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

// A trailing partial unit is left alone, and the zero bytes behind the input are never touched.
static void NormaliseByteOrder() {
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

// Rows: source family; columns: target family.
static const Route kRoutes[4][4] = {
    {CopyBytes, Utf8ToUtf16, Utf8ToUtf32, Utf8ToCodePage},
    {Utf16ToUtf8, CopyBytes, Utf16ToUtf32, Utf16ToCodePage},
    {Utf32ToUtf8, Utf32ToUtf16, CopyBytes, Utf32ToCodePage},
    {CodePageToUtf8, CodePageToUtf16, CodePageToUtf32, CodePageToCodePage},
};

static const Route kPlainRoutes[4][4] = {
    {PlainCopyBytes, PlainUtf8ToUtf16, PlainUtf8ToUtf32, PlainUtf8ToCodePage},
    {PlainUtf16ToUtf8, PlainCopyBytes, PlainUtf16ToUtf32, PlainUtf16ToCodePage},
    {PlainUtf32ToUtf8, PlainUtf32ToUtf16, PlainCopyBytes, PlainUtf32ToCodePage},
    {PlainCodePageToUtf8, PlainCodePageToUtf16, PlainCodePageToUtf32, PlainCodePageToCodePage},
};

void TranscodeBuffer() {
    NormaliseByteOrder();
    const Route(&routes)[4][4] = usePlainRoutes ? kPlainRoutes : kRoutes;
    EncodingFamily source = FamilyOf(runState.sourceCp);
    EncodingFamily target = FamilyOf(runState.targetCp);
    Route route = routes[source][target];
    // The same byte code page on both sides is a copy; only two different pages convert.
    if (source == kFamilyCodePage && target == kFamilyCodePage &&
        runState.sourceCp == runState.targetCp) {
        route = routes[kFamilyUtf8][kFamilyUtf8];
    }
    route();
}

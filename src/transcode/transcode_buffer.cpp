#include "src/transcode/transcode_buffer.h"

#include <utility>

#include "src/run/run_state.h"
#include "src/transcode/routes.h"

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
    if (runState.sourceCp == CP_UTF16BE) {
        for (uint32_t i = 0; count - i >= 2; i += 2) {
            std::swap(text[i], text[i + 1]);
        }
    } else if (runState.sourceCp == CP_UTF32BE) {
        for (uint32_t i = 0; count - i >= 4; i += 4) {
            std::swap(text[i], text[i + 3]);
            std::swap(text[i + 1], text[i + 2]);
        }
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

void TranscodeBuffer() {
    NormaliseByteOrder();
    Route route = kRoutes[FamilyOf(runState.sourceCp)][FamilyOf(runState.targetCp)];
    // The same byte code page on both sides is a copy; only two different pages convert.
    if (route == CodePageToCodePage && runState.sourceCp == runState.targetCp) {
        route = CopyBytes;
    }
    route();
}

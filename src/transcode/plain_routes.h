// The conversion routes character by character, exactly as the flush rule reads: the flush test
// before every character, codecs and platform calls one character at a time. They are the
// reference that the routes TranscodeBuffer runs (routes.h) are tested against, and what those
// give byte for byte, flush for flush.
#pragma once

void PlainUtf8ToUtf16();
void PlainUtf8ToUtf32();
void PlainUtf8ToCodePage();
void PlainUtf16ToUtf8();
void PlainUtf16ToUtf32();
void PlainUtf16ToCodePage();
void PlainUtf32ToUtf8();
void PlainUtf32ToUtf16();
void PlainUtf32ToCodePage();
void PlainCodePageToUtf8();
void PlainCodePageToUtf16();
void PlainCodePageToUtf32();
void PlainCodePageToCodePage();
void PlainCopyBytes();

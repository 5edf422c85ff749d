// The conversion routes. Each converts the whole text from readCursor to readEnd, writes it from
// writeBase on under the flush rule and flushes at its end. Long stretches go through the
// kernels of route_kernels.h, yet every byte and every flush is that of the per-character routes
// in plain_routes.h. Units in the buffer are little-endian on both sides (big-endian sources are
// turned beforehand). Nothing fails: what cannot be read or represented becomes "?" in the
// target's form.
//
// A UTF-16 or UTF-32 source may end in a partial unit (a source named on the command line with
// an odd size); that stub becomes one "?" and the route stops exactly at readEnd.
#pragma once

void Utf8ToUtf16();
void Utf8ToUtf32();
void Utf8ToCodePage();
void Utf16ToUtf8();
void Utf16ToUtf32();
void Utf16ToCodePage();
void Utf32ToUtf8();
void Utf32ToUtf16();
void Utf32ToCodePage();
void CodePageToUtf8();
void CodePageToUtf16();
void CodePageToUtf32();
// Between two different byte code pages: each byte through the source page to one unit, then
// through the target page to one byte.
void CodePageToCodePage();
// Byte for byte, for a source and target of one family (or the same byte code page). The output
// is the input itself, so it is flushed once, straight from where the input lies.
void CopyBytes();

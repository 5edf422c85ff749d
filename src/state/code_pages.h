// Encoding identifiers: Windows code page numbers, plus the pseudo identifiers the command line
// resolves. CP_ACP, CP_OEMCP, CP_MACCP and CP_UTF8 come from the platform.
#pragma once

#include <cstdint>

#include "src/platform/platform.h"

typedef int32_t CodePageId;

constexpr CodePageId CP_UTF16LE = 1200;
constexpr CodePageId CP_UTF16BE = 1201;
constexpr CodePageId CP_UTF32LE = 12000;
constexpr CodePageId CP_UTF32BE = 12001;

constexpr CodePageId CP_AUTODETECT = 77;
constexpr CodePageId CP_UTF8_NOBOM = 308;
constexpr CodePageId CP_UTF16LE_NOBOM = 316;
constexpr CodePageId CP_UTF32LE_NOBOM = 317;
constexpr CodePageId CP_UTF16BE_NOBOM = 318;
constexpr CodePageId CP_UTF32BE_NOBOM = 319;
constexpr CodePageId CP_UNSET = 333;
constexpr CodePageId CP_DETECT_ONLY = 999;

// The five Unicode forms; every other identifier that reaches a conversion is a byte code page.
constexpr bool IsUnicodeForm(CodePageId cp) {
    return cp == static_cast<CodePageId>(CP_UTF8) || cp == CP_UTF16LE || cp == CP_UTF16BE ||
           cp == CP_UTF32LE || cp == CP_UTF32BE;
}

// Every encoding codeshift knows, one row each: the option names (read both ways, options to
// identifiers and identifiers to the labels of the run log), the names --help shows, and the
// byte code pages whose tables the Linux program carries (the Windows calls' own answers, asked
// for each row's page by tools/code_pages).
#pragma once

#include <iterator>

#include "src/state/code_pages.h"

struct Encoding {
    CodePageId id;
    // Option names in lookup order, the first labelling the encoding in the log. None for a
    // page only the system's choice of ANSI, OEM or Mac page can reach.
    const WCHAR* names[4];
    // The name --help lists, by index into `names`; -1 for none.
    int8_t shown;
    // For a Unicode form named without its byte order mark, the form it stands for, which the
    // command line resolves it to; 0 for every other row.
    CodePageId marked = 0;
};

inline constexpr Encoding kEncodings[] = {
    {CP_AUTODETECT, {WSTR("TEST"), WSTR("TST"), WSTR("T")}, -1},
    {CP_UTF8, {WSTR("UTF-8"), WSTR("UTF8"), WSTR("U8"), WSTR("U8+")}, 1},
    {CP_UTF8_NOBOM, {WSTR("UTF-8n"), WSTR("UTF8n"), WSTR("U8n"), WSTR("U8-")}, 3, CP_UTF8},
    {CP_UTF16LE, {WSTR("UTF-16LE"), WSTR("UTF16"), WSTR("U16"), WSTR("U16+")}, 1},
    {CP_UTF16LE_NOBOM,
     {WSTR("UTF-16LEn"), WSTR("UTF16n"), WSTR("U16n"), WSTR("U16-")},
     3,
     CP_UTF16LE},
    {CP_UTF16BE, {WSTR("UTF-16BE"), WSTR("UTF16BE"), WSTR("U16BE"), WSTR("U16BE+")}, 1},
    {CP_UTF16BE_NOBOM,
     {WSTR("UTF-16BEn"), WSTR("UTF16BEn"), WSTR("U16BEn"), WSTR("U16BE-")},
     3,
     CP_UTF16BE},
    {CP_UTF32LE, {WSTR("UTF-32LE"), WSTR("UTF32"), WSTR("U32"), WSTR("U32+")}, 1},
    {CP_UTF32LE_NOBOM,
     {WSTR("UTF-32LEn"), WSTR("UTF32n"), WSTR("U32n"), WSTR("U32-")},
     3,
     CP_UTF32LE},
    {CP_UTF32BE, {WSTR("UTF-32BE"), WSTR("UTF32BE"), WSTR("U32BE"), WSTR("U32BE+")}, 1},
    {CP_UTF32BE_NOBOM,
     {WSTR("UTF-32BEn"), WSTR("UTF32BEn"), WSTR("U32BEn"), WSTR("U32BE-")},
     3,
     CP_UTF32BE},
    {CP_ACP, {WSTR("ANSI"), WSTR("A")}, 0},
    // Never chosen on the command line ("-O" begins a log option); it labels the page.
    {CP_OEMCP, {WSTR("OEM")}, -1},
    {866, {WSTR("CP866")}, 0},
    {20866, {WSTR("KOI8R")}, 0},
    {21866, {WSTR("KOI8U")}, 0},
    {CP_MACCP, {WSTR("MAC")}, 0},
    {437, {WSTR("IBM437")}, 0},
    {1250, {WSTR("A1250")}, 0},
    {1251, {WSTR("A1251")}, 0},
    {1252, {WSTR("A1252")}, 0},
    {1253, {WSTR("A1253")}, 0},
    {1254, {WSTR("A1254")}, 0},
    {1255, {WSTR("A1255")}, 0},
    {1256, {WSTR("A1256")}, 0},
    {1257, {WSTR("A1257")}, 0},
    {1258, {WSTR("A1258")}, 0},
    {28591, {WSTR("ISO1")}, 0},
    {28592, {WSTR("ISO2")}, 0},
    {28593, {WSTR("ISO3")}, 0},
    {28594, {WSTR("ISO4")}, 0},
    {28595, {WSTR("ISO5")}, 0},
    {28596, {WSTR("ISO6")}, 0},
    {28597, {WSTR("ISO7")}, 0},
    {28598, {WSTR("ISO8")}, 0},
    {28599, {WSTR("ISO9")}, 0},
    {28603, {WSTR("ISO13")}, 0},
    {28605, {WSTR("ISO15")}, 0},
    // The DOS pages, by their number and by the name IBM gave them.
    {737, {WSTR("CP737"), WSTR("IBM737")}, 0},
    {775, {WSTR("CP775"), WSTR("IBM775")}, 0},
    {850, {WSTR("CP850"), WSTR("IBM850")}, 0},
    {852, {WSTR("CP852"), WSTR("IBM852")}, 0},
    {855, {WSTR("CP855"), WSTR("IBM855")}, 0},
    {857, {WSTR("CP857"), WSTR("IBM857")}, 0},
    {860, {WSTR("CP860"), WSTR("IBM860")}, 0},
    {861, {WSTR("CP861"), WSTR("IBM861")}, 0},
    {862, {WSTR("CP862"), WSTR("IBM862")}, 0},
    {863, {WSTR("CP863"), WSTR("IBM863")}, 0},
    {864, {WSTR("CP864"), WSTR("IBM864")}, 0},
    {865, {WSTR("CP865"), WSTR("IBM865")}, 0},
    {869, {WSTR("CP869"), WSTR("IBM869")}, 0},
    // Thai, the ANSI and the OEM page alike.
    {874, {WSTR("CP874"), WSTR("WINDOWS-874")}, 0},
    // The Mac pages: a short name, the other usual spellings, and the number.
    {10007, {WSTR("MACCYR"), WSTR("MACCYRILLIC"), WSTR("X-MAC-CYRILLIC"), WSTR("CP10007")}, 0},
    {10029, {WSTR("MACCE"), WSTR("MACCENTRALEUROPE"), WSTR("X-MAC-CE"), WSTR("CP10029")}, 0},
    {10006, {WSTR("MACGREEK"), WSTR("X-MAC-GREEK"), WSTR("CP10006")}, 0},
    {10081, {WSTR("MACTURKISH"), WSTR("X-MAC-TURKISH"), WSTR("CP10081")}, 0},
    {10079, {WSTR("MACICELAND"), WSTR("X-MAC-ICELANDIC"), WSTR("CP10079")}, 0},
    {10082, {WSTR("MACCROATIAN"), WSTR("X-MAC-CROATIAN"), WSTR("CP10082")}, 0},
    {10010, {WSTR("MACROMANIA"), WSTR("X-MAC-ROMANIAN"), WSTR("CP10010")}, 0},
    {10017, {WSTR("MACUKRAINE"), WSTR("X-MAC-UKRAINIAN"), WSTR("CP10017")}, 0},
    {20127, {WSTR("ASCII"), WSTR("US-ASCII"), WSTR("CP20127")}, 0},
    // Pages that only the Linux program's ANSI, OEM and Mac choices reach: Arabic DOS, Mac Roman,
    // Mac Arabic and Mac Hebrew.
    {720, {}, -1},
    {10000, {}, -1},
    {10004, {}, -1},
    {10005, {}, -1},
};
inline constexpr int kEncodingCount = static_cast<int>(std::size(kEncodings));

// The row of `id`; nullptr for an identifier the table does not hold.
constexpr const Encoding* EncodingRow(CodePageId id) {
    for (const Encoding& e : kEncodings) {
        if (e.id == id) {
            return &e;
        }
    }
    return nullptr;
}

// A Unicode form named without its byte order mark, which the command line resolves.
constexpr bool IsNoMarkForm(CodePageId id) {
    const Encoding* row = EncodingRow(id);
    return row != nullptr && row->marked != 0;
}

// The Unicode form a name without a byte order mark stands for; any other identifier as it is.
constexpr CodePageId MarkedForm(CodePageId id) {
    return IsNoMarkForm(id) ? EncodingRow(id)->marked : id;
}

// The name without a byte order mark of a Unicode form; any other identifier as it is.
constexpr CodePageId NoMarkForm(CodePageId id) {
    for (const Encoding& e : kEncodings) {
        if (e.marked == id && id != 0) {
            return e.id;
        }
    }
    return id;
}

// A byte code page of its own, one character per byte: neither a Unicode form, nor a pseudo
// identifier the command line resolves, nor a stand-in for the system's ANSI, OEM or Mac page.
constexpr bool IsOwnBytePage(CodePageId id) {
    return !IsUnicodeForm(id) && !IsNoMarkForm(id) && id != CP_AUTODETECT &&
           id != static_cast<CodePageId>(CP_ACP) && id != static_cast<CodePageId>(CP_OEMCP) &&
           id != static_cast<CodePageId>(CP_MACCP);
}

// Case-insensitive whole-name lookup, names in table order; false when no name matches.
bool LookUpEncodingName(LPCWSTR text, CodePageId* id);

// The first name of `id`, the very first name of the table aside; nullptr when the table has none.
LPCWSTR EncodingLabel(CodePageId id);

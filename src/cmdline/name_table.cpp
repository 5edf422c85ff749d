#include "src/cmdline/name_table.h"

const EncodingName kEncodingNameTable[] = {
    {CP_AUTODETECT, WSTR("TEST")},
    {CP_AUTODETECT, WSTR("TST")},
    {CP_AUTODETECT, WSTR("T")},
    {CP_UTF8, WSTR("UTF-8")},
    {CP_UTF8, WSTR("UTF8")},
    {CP_UTF8, WSTR("U8")},
    {CP_UTF8, WSTR("U8+")},
    {CP_UTF8_NOBOM, WSTR("UTF-8n")},
    {CP_UTF8_NOBOM, WSTR("UTF8n")},
    {CP_UTF8_NOBOM, WSTR("U8n")},
    {CP_UTF8_NOBOM, WSTR("U8-")},
    {CP_UTF16LE, WSTR("UTF-16LE")},
    {CP_UTF16LE, WSTR("UTF16")},
    {CP_UTF16LE, WSTR("U16")},
    {CP_UTF16LE, WSTR("U16+")},
    {CP_UTF16LE_NOBOM, WSTR("UTF-16LEn")},
    {CP_UTF16LE_NOBOM, WSTR("UTF16n")},
    {CP_UTF16LE_NOBOM, WSTR("U16n")},
    {CP_UTF16LE_NOBOM, WSTR("U16-")},
    {CP_UTF16BE, WSTR("UTF-16BE")},
    {CP_UTF16BE, WSTR("UTF16BE")},
    {CP_UTF16BE, WSTR("U16BE")},
    {CP_UTF16BE, WSTR("U16BE+")},
    {CP_UTF16BE_NOBOM, WSTR("UTF-16BEn")},
    {CP_UTF16BE_NOBOM, WSTR("UTF16BEn")},
    {CP_UTF16BE_NOBOM, WSTR("U16BEn")},
    {CP_UTF16BE_NOBOM, WSTR("U16BE-")},
    {CP_UTF32LE, WSTR("UTF-32LE")},
    {CP_UTF32LE, WSTR("UTF32")},
    {CP_UTF32LE, WSTR("U32")},
    {CP_UTF32LE, WSTR("U32+")},
    {CP_UTF32LE_NOBOM, WSTR("UTF-32LEn")},
    {CP_UTF32LE_NOBOM, WSTR("UTF32n")},
    {CP_UTF32LE_NOBOM, WSTR("U32n")},
    {CP_UTF32LE_NOBOM, WSTR("U32-")},
    {CP_UTF32BE, WSTR("UTF-32BE")},
    {CP_UTF32BE, WSTR("UTF32BE")},
    {CP_UTF32BE, WSTR("U32BE")},
    {CP_UTF32BE, WSTR("U32BE+")},
    {CP_UTF32BE_NOBOM, WSTR("UTF-32BEn")},
    {CP_UTF32BE_NOBOM, WSTR("UTF32BEn")},
    {CP_UTF32BE_NOBOM, WSTR("U32BEn")},
    {CP_UTF32BE_NOBOM, WSTR("U32BE-")},
    {CP_ACP, WSTR("ANSI")},
    {CP_ACP, WSTR("A")},
    {CP_OEMCP, WSTR("OEM")},
    {866, WSTR("CP866")},
    {20866, WSTR("KOI8R")},
    {21866, WSTR("KOI8U")},
    {CP_MACCP, WSTR("MAC")},
    {437, WSTR("IBM437")},
    {1250, WSTR("A1250")},
    {1251, WSTR("A1251")},
    {1252, WSTR("A1252")},
    {1253, WSTR("A1253")},
    {1254, WSTR("A1254")},
    {1255, WSTR("A1255")},
    {1256, WSTR("A1256")},
    {1257, WSTR("A1257")},
    {1258, WSTR("A1258")},
    {28591, WSTR("ISO1")},
    {28592, WSTR("ISO2")},
    {28593, WSTR("ISO3")},
    {28594, WSTR("ISO4")},
    {28595, WSTR("ISO5")},
    {28596, WSTR("ISO6")},
    {28597, WSTR("ISO7")},
    {28598, WSTR("ISO8")},
    {28599, WSTR("ISO9")},
    {28603, WSTR("ISO13")},
    {28605, WSTR("ISO15")},
    {0, WSTR("*")},
};

static bool IsSentinel(int row) {
    return row >= kEncodingNameRows;
}

bool LookUpEncodingName(LPCWSTR text, CodePageId* id) {
    for (int row = 0; !IsSentinel(row); ++row) {
        if (_wcsicmp(text, kEncodingNameTable[row].name) == 0) {
            *id = kEncodingNameTable[row].id;
            return true;
        }
    }
    return false;
}

LPCWSTR EncodingLabel(CodePageId id) {
    for (int row = 1; !IsSentinel(row); ++row) {
        if (kEncodingNameTable[row].id == id) {
            return kEncodingNameTable[row].name;
        }
    }
    return nullptr;
}

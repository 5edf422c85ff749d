#include "src/cmdline/name_table.h"

bool LookUpEncodingName(LPCWSTR text, CodePageId* id) {
    for (const Encoding& e : kEncodings) {
        for (const WCHAR* name : e.names) {
            if (name != nullptr && _wcsicmp(text, name) == 0) {
                *id = e.id;
                return true;
            }
        }
    }
    return false;
}

LPCWSTR EncodingLabel(CodePageId id) {
    // The very first name ("TEST") is left out: the log labels that encoding itself.
    for (const Encoding& e : kEncodings) {
        for (int i = &e == kEncodings ? 1 : 0; i < 4; ++i) {
            if (e.id == id && e.names[i] != nullptr) {
                return e.names[i];
            }
        }
    }
    return nullptr;
}

// The ordered table of encoding names, read both ways: options to identifiers and identifiers
// to the labels of the run log.
#pragma once

#include "src/cmdline/code_pages.h"

struct EncodingName {
    CodePageId id;
    const WCHAR* name;
};

// 71 rows and the "*" sentinel.
extern const EncodingName kEncodingNameTable[];
constexpr int kEncodingNameRows = 71;

// Case-insensitive whole-name lookup from row 0; false when the sentinel is reached.
bool LookUpEncodingName(LPCWSTR text, CodePageId* id);

// The first name of `id` from row 1 on; nullptr when the table has none.
LPCWSTR EncodingLabel(CodePageId id);

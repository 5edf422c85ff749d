// A plain model of the conversion, written apart from the real routes: one character at a
// time, from one string into another, with none of the in-place machinery (head room, flushes,
// byte order turned inside the block). Fuzz targets compare the real conversion with it.
#pragma once

#include <cstdint>
#include <string>

#include "src/cmdline/code_pages.h"

// The bytes a conversion of `text` (the input after any byte order mark) from `source` to
// `target` writes after the mark, and in *replaced how many characters it wrote as "?" that were
// no "?" of the input. Both pages must be settled: no CP_AUTODETECT, no CP_UNSET.
std::string ReferenceConversion(const std::string& text, CodePageId source, CodePageId target,
                                uint64_t* replaced);

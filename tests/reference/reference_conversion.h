// The one model of the conversion that the routes are checked against, written apart from them:
// one character at a time, from one string into another, with none of the in-place machinery
// (head room, flushes, byte order turned inside the block, tables, kernels), and code page
// characters through the platform's single calls, one byte or one unit at a time. The unit tests
// build their texts and expectations with it, and the conversion fuzzer compares every route
// with it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "src/state/code_pages.h"
#include "src/state/replacements.h"

// The bytes a conversion of `text` (the input after any byte order mark) from `source` to
// `target` writes after the mark, and in *counts how many characters it wrote as "?" that were
// no "?" of the input (apart: input that is no character, characters the target page lacks) and
// how many a target page wrote as another character. Both pages must be settled: no
// CP_AUTODETECT, no CP_UNSET.
std::string ReferenceConversion(const std::string& text, CodePageId source, CodePageId target,
                                Replacements* counts);

// `codePoints` written in `form`, any Unicode form or byte code page (what that page cannot hold
// becomes "?").
std::string ReferenceText(const std::vector<uint32_t>& codePoints, CodePageId form);

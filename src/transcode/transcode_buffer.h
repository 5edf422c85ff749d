// Converts the whole loaded text from sourceCp to targetCp and flushes it to the output file.
#pragma once

#include "src/state/code_pages.h"

// The pair of families of source and target alone chooses the route.
enum EncodingFamily { kFamilyUtf8, kFamilyUtf16, kFamilyUtf32, kFamilyCodePage };

EncodingFamily FamilyOf(CodePageId cp);

// Turns a big-endian source little-endian in place, whole units only, loads the code page
// tables the route needs, then runs the route: units in the buffer are little-endian on both
// sides. Nothing fails: what cannot be read or represented becomes "?" in the target's form,
// counted in runState.replacements with the characters a page writes as similar ones.
void TranscodeBuffer();

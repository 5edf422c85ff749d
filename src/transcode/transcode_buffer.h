// Converts the whole loaded text from sourceCp to targetCp and flushes it to the output file.
#pragma once

#include "src/cmdline/code_pages.h"

// The pair of families of source and target alone chooses the route.
enum EncodingFamily { kFamilyUtf8, kFamilyUtf16, kFamilyUtf32, kFamilyCodePage };

EncodingFamily FamilyOf(CodePageId cp);

// Turns a big-endian source little-endian in place, whole units only, then runs the route.
void TranscodeBuffer();

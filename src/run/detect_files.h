// "--detect FILE...": one line for each file with the encoding option that names what its
// bytes most likely are.
#pragma once

#include "src/platform/platform.h"
#include "src/state/code_pages.h"

// The option that reads text in `id`: the encoding table's name of the page, or of the Unicode
// form with or without its byte order mark.
WideString OptionFor(CodePageId id, bool marked);

// A page's common name: "Windows-1251", "KOI8-R", "DOS page 866".
WideString PageTitle(CodePageId id);

// Reads each file named on the command line besides "--detect" ("-" for standard input) and
// tells what it found on standard output; the status is 21 when a file could not be read.
void DetectFiles();

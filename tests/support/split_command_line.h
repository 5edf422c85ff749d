// A command line split back into its arguments by the Windows rules, as a Windows program
// receives it: the check that the Linux program's quoted line carries every argument whole.
#pragma once

#include <vector>

#include "src/platform/platform.h"

// Splits by the rules for blanks, quotes and backslashes; the first argument (the program) is
// taken up to the closing quote or the first blank, without escapes.
std::vector<WideString> SplitCommandLine(LPCWSTR commandLine);

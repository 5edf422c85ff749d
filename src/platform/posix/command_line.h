// The Windows rules for one command line, so that the Linux build hands the system the same
// text a Windows build would see.
#pragma once

#include <vector>

#include "src/platform/platform.h"

// Joins the arguments with single spaces, quoting each one that needs it so that
// SplitCommandLine gives them back unchanged.
WideString QuoteCommandLine(const std::vector<WideString>& arguments);

// Splits by the platform's rules for blanks, quotes and backslashes; the first argument (the
// program) is taken up to the closing quote or the first blank, without escapes.
std::vector<WideString> SplitCommandLine(LPCWSTR commandLine);

// Keeps the process's arguments for GetCommandLineW and CommandLineToArgvW.
void SetProcessArguments(const std::vector<WideString>& arguments);

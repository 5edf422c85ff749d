// The Linux program's arguments: kept as the system passed them for the parse, and joined into
// one line by the Windows rules for the log record, which shows the command line as a Windows
// build would.
#pragma once

#include <vector>

#include "src/platform/platform.h"

// Joins the arguments with single spaces, quoting each one that needs it so that
// SplitCommandLine gives them back unchanged.
WideString QuoteCommandLine(const std::vector<WideString>& arguments);

// Splits by the platform's rules for blanks, quotes and backslashes; the first argument (the
// program) is taken up to the closing quote or the first blank, without escapes.
std::vector<WideString> SplitCommandLine(LPCWSTR commandLine);

// Keeps the process's arguments for ReadProcessArguments and GetCommandLineW.
void SetProcessArguments(const std::vector<WideString>& arguments);

// The Linux program's arguments: kept as the system passed them for the parse, and joined into
// one line by the Windows rules for the log record, which shows the command line as a Windows
// build would.
#pragma once

#include <vector>

#include "src/platform/platform.h"

// Joins the arguments with single spaces, quoting each one that needs it so that a split by
// the Windows rules for blanks, quotes and backslashes gives them back unchanged.
WideString QuoteCommandLine(const std::vector<WideString>& arguments);

// Keeps the process's arguments for ReadProcessArguments and GetCommandLineW.
void SetProcessArguments(const std::vector<WideString>& arguments);

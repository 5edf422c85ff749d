// The answers to --help, --version and --list, on standard output.
#pragma once

#include "src/platform/platform.h"

// The text of --help: the usage, the options, the encodings and the exit codes.
WideString HelpText();

// The text of --list: every encoding name, one encoding a line after its code page.
WideString NameListText();

// Writes the answer runState.request asks for; a failed write fails the run with 22.
void AnswerRequest();

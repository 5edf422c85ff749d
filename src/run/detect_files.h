// "--detect FILE...": one line for each file with the encoding option that names what its
// bytes most likely are.
#pragma once

#include "src/platform/platform.h"

// Reads each file named on the command line besides "--detect" ("-" for standard input) and
// tells what it found on standard output; the status is 21 when a file could not be read.
void DetectFiles();

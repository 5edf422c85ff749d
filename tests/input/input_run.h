// Runs of the input half against files on disk, for the input tests.
#pragma once

#include <string>

#include "src/state/run_state.h"

// A fresh run state whose input is `name` (a path in the test's folder).
void StartRun(const std::string& name, CodePageId sourceCp, CodePageId targetCp);

// Offset of a pointer into the run's block, for comparing cursors.
long BlockOffset(const uint8_t* at);

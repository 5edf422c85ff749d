#include "src/log/run_log.h"

#include "src/run/run_state.h"

void WriteRunLog() {}

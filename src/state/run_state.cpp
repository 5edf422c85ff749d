#include "src/state/run_state.h"

RunState runState;

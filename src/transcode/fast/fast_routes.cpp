#include "src/transcode/fast/fast_routes.h"

void CopyBytes() {
    FlushOutputFrom(runState.workBuffer.readCursor, runState.workBuffer.readEnd);
}

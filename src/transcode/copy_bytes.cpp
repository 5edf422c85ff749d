#include <cstring>

#include "src/run/run_state.h"
#include "src/transcode/flush_output.h"
#include "src/transcode/plain_routes.h"

// The output starts 4096 bytes behind the input and grows exactly as fast, so the regions may
// overlap but the write position never catches up with the read position.
void PlainCopyBytes() {
    const WorkBuffer& buffer = runState.workBuffer;
    size_t count = static_cast<size_t>(buffer.readEnd - buffer.readCursor);
    std::memmove(buffer.writeBase, buffer.readCursor, count);
    FlushOutput(buffer.writeBase + count);
}

#include "src/transcode/plain/plain_routes.h"

#include <cstring>

// The output starts kHeadRoomBytes behind the input and grows exactly as fast, so the regions may
// overlap but the write position never catches up with the read position.
void PlainCopyBytes() {
    const WorkBuffer& buffer = runState.workBuffer;
    size_t count = static_cast<size_t>(buffer.readEnd - buffer.readCursor);
    std::memmove(buffer.writeBase, buffer.readCursor, count);
    FlushOutput(buffer.writeBase + count);
}

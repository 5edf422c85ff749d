#include "src/run/loss_messages.h"

#include <string>

#include "src/cmdline/name_table.h"
#include "src/log/log_fields.h"
#include "src/state/run_state.h"

static WideString Grouped(uint64_t count) {
    // No count exceeds the input's size, which is below 4 GiB.
    WideString buffer;
    return FormatGroupedNumber(static_cast<uint32_t>(count), &buffer);
}

WideString PrivateUseLine() {
    uint64_t count = runState.privateUseRead;
    if (count == 0) {
        return WideString();
    }
    LPCWSTR label = EncodingLabel(runState.sourceCp);
    WideString page = label != nullptr ? WideString(label) : WideString(WSTR("?"));
    return Grouped(count) + (count == 1 ? WSTR(" byte has no standard character in ") + page +
                                              WSTR(" and was written as a private-use character")
                                        : WSTR(" bytes have no standard character in ") + page +
                                              WSTR(" and were written as private-use characters"));
}

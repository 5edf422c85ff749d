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

WideString LossRefusalReason() {
    const Replacements& counts = runState.replacements;
    uint64_t count = counts.unreadable + counts.missing + counts.similar;
    WideString reason =
        Grouped(count) + (count == 1 ? WSTR(" character would be written as \"?\" or as a "
                                            "similar one")
                                     : WSTR(" characters would be written as \"?\" or as a "
                                            "similar one"));
    if (runState.lossLine > 0) {
        WideString line;
        WideString column;
        AppendNumber(runState.lossLine, 10, 1, &line);
        AppendNumber(runState.lossColumn, 10, 1, &column);
        reason.append((count == 1 ? WSTR(", at line ") : WSTR(", the first at line ")) + line +
                      WSTR(", column ") + column);
    }
    return reason;
}

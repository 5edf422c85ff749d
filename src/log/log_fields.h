// The parts of a log record worked out from the run: encoding labels, grouped counts and the
// time stamp.
#pragma once

#include <cstdint>

#include "src/platform/platform.h"

constexpr uint8_t kSourceSide = 1;
constexpr uint8_t kTargetSide = 2;

// The label of the source encoding (kSourceSide) or of the target (any other side), built in
// `buffer`: on the source side the requested encoding and " :: " come first when recognition
// replaced it, and a Unicode form ends in " BOM" or "n". For CP_DETECT_ONLY the result is an
// empty string and the buffer is left untouched.
LPCWSTR FormatCodePageLabel(uint8_t side, WideString* buffer);

// `value` in decimal, grouped by threes from the right with one space between groups.
LPCWSTR FormatGroupedNumber(uint32_t value, WideString* buffer);

// Appends `value` in `base` (10 or 16, lowercase), padded with zeros to at least `digits`.
void AppendNumber(uint32_t value, uint32_t base, int digits, WideString* text);

// `text` as it may be shown in the record or a message: a control character (C0, DEL and C1)
// and half a surrogate pair left alone (on Linux a byte of a name that was no UTF-8) become "?",
// so that a name stays on its line, cannot write lines of its own into a record, and cannot
// steer the terminal of whoever reads it.
WideString ShownText(const WideString& text);

// Appends the time as day-month-year hour:minute:second, "19-01-2038 03:14:08".
void AppendTimeStamp(const SYSTEMTIME& time, WideString* text);

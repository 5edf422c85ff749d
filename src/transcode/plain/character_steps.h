// One character of each conversion route: the rules of every conversion, written once. The plain
// routes run them one character at a time behind the flush test, the fast routes wherever no
// kernel runs, and the kernels hand them every character their wide paths leave. Each moves
// `read` past the character and `write` past its output, and counts into `counts` a character it
// wrote as "?" that was no "?", or as a similar one (codecs/replacements.h says where each counts).
//
// Two levels. A step (StepUtf8ToUtf16, ...) expects a whole unit at `read` and takes code page
// characters from the run's tables alone: that is what the kernels call. A route character
// (RouteCharacter, UnitCharacter, Utf8ToCodePageCharacter) is what a route does with whatever
// lies at `read`: a trailing partial unit, and the few units the tables do not hold, included.
#pragma once

#include <cstdint>

#include "src/state/replacements.h"
#include "src/state/work_buffer.h"
#include "src/transcode/codecs/buffer_units.h"
#include "src/transcode/codecs/code_page_tables.h"
#include "src/transcode/codecs/utf8_char.h"

// --- Rules that several steps share --------------------------------------------------------

// One UTF-16 unit into one byte of the target page, "?" where the page has none for it (text
// from UTF-16 and UTF-32 has room for one byte only). `unreadable()` says, for a unit written as
// "?", whether it stood for no character of the input.
template <typename Unreadable>
inline void StoreUnitAsOneByte(uint8_t*& write, WCHAR unit, Replacements& counts,
                               Unreadable unreadable) {
    uint32_t entry = TargetUnitByte(unit);
    write = StoreByte(write, entry);
    if (entry > 0xFF) [[unlikely]] {
        if (entry & kSingleSimilar) {
            ++counts.similar;
        } else {
            CountPageQuestion(counts, unreadable());
        }
    }
}

// A trailing partial unit of a UTF-16 or UTF-32 source (a source named on the command line with
// an odd size): one "?" in the target's form, and the route ends at `end`. False, with nothing
// done, while a whole unit of kWidth bytes is left.
template <uint32_t kWidth, uint8_t* (*store)(uint8_t*, uint32_t)>
inline bool EndsInPartialUnit(const uint8_t*& read, const uint8_t* end, uint8_t*& write,
                              Replacements& counts) {
    if (HoldsWholeUnit(read, end, kWidth)) {
        return false;
    }
    write = store(write, kReplacementChar);
    ++counts.unreadable;
    read = end;
    return true;
}

// Whether `size` bytes a unit became in the target page read back as that unit.
inline bool ReadsBackAs(UINT page, const uint8_t* bytes, int size, WCHAR unit) {
    WCHAR back[4];
    return MultiByteToWideChar(page, 0, reinterpret_cast<LPCSTR>(bytes), size, back, 4) == 1 &&
           back[0] == unit;
}

// --- From UTF-8 ------------------------------------------------------------------------------

// Only bytes that are no character are written as "?" for something else, in every route from
// UTF-8; a high surrogate from the decoder is the first unit of a pair.
inline void StepUtf8ToUtf16(const uint8_t*& read, uint8_t*& write, Replacements& counts) {
    WCHAR units[2];
    read += DecodeUtf8Char(read, units, [&] { ++counts.unreadable; });
    write = StoreUnit16(write, units[0]);
    if (IsHighSurrogate(units[0])) {
        write = StoreUnit16(write, units[1]);
    }
}

inline void StepUtf8ToUtf32(const uint8_t*& read, uint8_t*& write, Replacements& counts) {
    WCHAR units[2];
    read += DecodeUtf8Char(read, units, [&] { ++counts.unreadable; });
    write =
        StoreUnit32(write, IsHighSurrogate(units[0]) ? CombinePair(units[0], units[1]) : units[0]);
}

// The rare path of the table loops, for an entry read straight from the table below
// kFirstSizedEntry: asks the platform about the unit if nothing asked yet, then writes a "?" that
// replaces the unit, or the bytes of a similar character, and counts it; `unreadable()` says
// whether a unit written as "?" stood for no character. False, with nothing written, for a unit
// whose bytes the table does not hold.
template <typename Unreadable>
inline bool StoreRareTargetEntry(WCHAR unit, uint8_t*& write, Replacements& counts,
                                 Unreadable unreadable) {
    uint32_t entry = TargetUnitBytes(unit);
    if (entry == kUnitNeedsCall) {
        return false;
    }
    if (entry == kReplacedEntry) {
        write = StoreByte(write, kReplacementChar);
        CountPageQuestion(counts, unreadable());
        return true;
    }
    if (entry == kSimilarEntry) {
        entry = targetPage.similarBytes[unit];
        ++counts.similar;
    }
    StoreUnit32(write, entry);
    write += entry >> 24;
    return true;
}

// The size is asked first, so a character may take several bytes in the target page. False,
// with nothing consumed, for a unit whose bytes the table does not hold. Bytes that are no
// character are written as the unit "?" would be, and counted when that is the one byte "?"
// (were "?" a unit the tables do not hold, it would count nothing here and the call would count
// it); a character is counted when the page writes "?" (kReplacedEntry) or a similar one for it.
inline bool StepUtf8ToCodePage(const uint8_t*& read, uint8_t*& write, Replacements& counts) {
    WCHAR units[2];
    uint32_t consumed =
        DecodeUtf8Char(read, units, [&] { counts.unreadable += targetPage.refusedReplaced; });
    uint32_t entry = targetPage.multiByte[units[0]];
    if (entry < kFirstSizedEntry) [[unlikely]] {
        // Every unit here stands for a character: a "?" the page writes for it is missing there.
        if (!StoreRareTargetEntry(units[0], write, counts, [] { return false; })) {
            return false;
        }
    } else {
        StoreUnit32(write, entry);
        write += entry >> 24;
    }
    read += consumed;
    return true;
}

// The units the tables do not hold (four bytes or more in the target page) are asked of the
// platform. A size that could break the flush margin is refused like an unconvertible character.
inline void StepUtf8ToCodePageByCall(const uint8_t*& read, uint8_t*& write, Replacements& counts) {
    WCHAR units[2];
    bool refused = false;
    uint32_t consumed = DecodeUtf8Char(read, units, [&] { refused = true; });
    const UINT target = targetPage.codePage;
    int size = WideCharToMultiByte(target, 0, units, 1, nullptr, 0, nullptr, nullptr);
    if (size > 0 && size < static_cast<int>(kFlushMargin)) {
        WideCharToMultiByte(target, 0, units, 1, reinterpret_cast<LPSTR>(write), size, nullptr,
                            nullptr);
    } else {
        size = 1;
        StoreByte(write, kReplacementChar);
    }
    // The unit "?" is the input's own "?" unless the decoder made it.
    if (size == 1 && write[0] == kReplacementChar) {
        if (refused || units[0] != kReplacementChar) {
            CountPageQuestion(counts, refused);
        }
    } else if (!ReadsBackAs(target, write, size, units[0])) {
        ++counts.similar;
    }
    write += size;
    read += consumed;
}

// --- From UTF-16 (little-endian by now) --------------------------------------------------------
// The unit after the current one is looked at for a low surrogate; at the end of the text it is
// made of the zero bytes behind the input, and behind a trailing partial unit its high byte is
// zero, so it never completes a pair there.

// Only a surrogate that forms no pair is written as "?" for something else.
inline void StepUtf16ToUtf8(const uint8_t*& read, uint8_t*& write, Replacements& counts) {
    WCHAR units[2] = {LoadUnit16(read), LoadUnit16(read + 2)};
    uint32_t count = EncodeUtf8Char(units, write, [&] { ++counts.unreadable; });
    write += count;
    read += count == 4 ? 4 : 2;
}

inline void StepUtf16ToUtf32(const uint8_t*& read, uint8_t*& write, Replacements& counts) {
    WCHAR units[2] = {LoadUnit16(read), LoadUnit16(read + 2)};
    uint32_t codePoint;
    read += 2 * CombineSurrogates(units, &codePoint, [&] { ++counts.unreadable; });
    write = StoreUnit32(write, codePoint);
}

// Only the first unit of a pair reaches the code page; its low surrogate is stepped over. A
// surrogate that forms no pair is no character; the high unit of a pair stands for one the page
// lacks.
inline void StepUtf16ToCodePage(const uint8_t*& read, uint8_t*& write, Replacements& counts) {
    WCHAR unit = LoadUnit16(read);
    bool pair = IsHighSurrogate(unit) && IsLowSurrogate(LoadUnit16(read + 2));
    StoreUnitAsOneByte(write, unit, counts, [&] { return IsSurrogate(unit) && !pair; });
    read += pair ? 4 : 2;
}

// --- From UTF-32 (little-endian by now) --------------------------------------------------------

// The character a UTF-32 value stands for; a value that is none (a surrogate, or above U+10FFFF)
// is read as "?" and counted, so that the steps below only ever meet characters.
inline uint32_t LoadCharacterValue(const uint8_t* read, Replacements& counts) {
    uint32_t value = LoadUnit32(read);
    if (IsCharacterValue(value)) [[likely]] {
        return value;
    }
    ++counts.unreadable;
    return kReplacementChar;
}

inline void StepUtf32ToUtf8(const uint8_t*& read, uint8_t*& write, Replacements& counts) {
    WCHAR units[2] = {0, 0};
    SplitCodePoint(LoadCharacterValue(read, counts), units);
    write += EncodeUtf8Char(units, write);
    read += 4;
}

inline void StepUtf32ToUtf16(const uint8_t*& read, uint8_t*& write, Replacements& counts) {
    WCHAR units[2];
    uint32_t count = SplitCodePoint(LoadCharacterValue(read, counts), units);
    write = StoreUnit16(write, units[0]);
    if (count == 2) {
        write = StoreUnit16(write, units[1]);
    }
    read += 4;
}

// A character above U+FFFF reaches the page as its high surrogate, which the page lacks.
inline void StepUtf32ToCodePage(const uint8_t*& read, uint8_t*& write, Replacements& counts) {
    WCHAR units[2];
    SplitCodePoint(LoadCharacterValue(read, counts), units);
    StoreUnitAsOneByte(write, units[0], counts, [] { return false; });
    read += 4;
}

// --- From a byte code page: every byte is one character, through the source page's table ----

// The count is the table's flag, added for every byte without a test.
inline void StepCodePageToUtf8(const uint8_t*& read, uint8_t*& write, Replacements& counts) {
    uint8_t byte = *read++;
    StoreUnit32(write, sourcePage.utf8[byte]);
    write += sourcePage.utf8Length[byte];
    counts.unreadable += sourcePage.utf8Unreadable[byte];
}

inline void StepCodePageToUtf16(const uint8_t*& read, uint8_t*& write, Replacements& counts) {
    uint8_t byte = *read++;
    write = StoreUnit16(write, sourcePage.units[byte]);
    counts.unreadable += sourcePage.unitUnreadable[byte];
}

inline void StepCodePageToUtf32(const uint8_t*& read, uint8_t*& write, Replacements& counts) {
    uint8_t byte = *read++;
    write = StoreUnit32(write, sourcePage.codePoints[byte]);
    counts.unreadable += sourcePage.codePointUnreadable[byte];
}

// Between two different byte code pages: each byte through the source page to one unit, then
// through the target page to one byte, both looked up at once in `targetBytes`, whose flags
// take the rare path.
inline void StepCodePageToCodePage(const uint8_t*& read, uint8_t*& write, Replacements& counts) {
    uint32_t entry = sourcePage.targetBytes[*read++];
    write = StoreByte(write, entry);
    if (entry >= kFirstFlag) [[unlikely]] {
        AddTargetFlags(counts, entry);
    }
}

// --- Route characters --------------------------------------------------------------------------

// What a route does with the character at `read`, up to `end`.
typedef void (*RouteCharacter)(const uint8_t*& read, const uint8_t* end, uint8_t*& write,
                               Replacements& counts);

// From UTF-8 or a byte code page: the step alone (a UTF-8 sequence cut off by the end of the text
// is refused at the first zero byte behind it, so the read position never passes `end`).
template <void (*step)(const uint8_t*&, uint8_t*&, Replacements&)>
inline void WholeCharacter(const uint8_t*& read, const uint8_t*, uint8_t*& write,
                           Replacements& counts) {
    step(read, write, counts);
}

// From UTF-16 or UTF-32: a trailing partial unit first.
template <uint32_t kWidth, uint8_t* (*store)(uint8_t*, uint32_t),
          void (*step)(const uint8_t*&, uint8_t*&, Replacements&)>
inline void UnitCharacter(const uint8_t*& read, const uint8_t* end, uint8_t*& write,
                          Replacements& counts) {
    if (!EndsInPartialUnit<kWidth, store>(read, end, write, counts)) {
        step(read, write, counts);
    }
}

// From UTF-8 to a byte code page: the tables first, the platform for what they do not hold.
inline void Utf8ToCodePageCharacter(const uint8_t*& read, const uint8_t*, uint8_t*& write,
                                    Replacements& counts) {
    if (!StepUtf8ToCodePage(read, write, counts)) {
        StepUtf8ToCodePageByCall(read, write, counts);
    }
}

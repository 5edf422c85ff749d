// What a conversion could not carry over as it was, counted by why, for the run's closing
// message. A "?" of the input that is written as "?" counts in none of them.
//
// Each route counts the characters it writes as "?" that stand for no "?" of the input, apart by
// why: what could not be read, and what the target page lacks; and the characters a page writes
// as a similar one. The hot steps count where the "?" or the similar character is made (the
// failure paths of the decoders and encoders, the rare path of the target tables, which alone
// asks which side a "?" is owed to) or add a table's flags for every byte, so that ordinary text
// pays no test for the counts.
#pragma once

#include <cstdint>

struct Replacements {
    // Written as "?" because the input there is no character of its encoding: a byte that no
    // UTF-8 character begins with, a UTF-8 sequence that is overlong, a surrogate or above
    // U+10FFFF, half a surrogate pair alone, a UTF-32 value that is a surrogate or above U+10FFFF,
    // a trailing partial unit, a byte the source page leaves undefined.
    uint64_t unreadable;
    // Written as "?" because the target page has no byte for the character.
    uint64_t missing;
    // Written as another character of the target page, its nearest one: the byte the character
    // became reads back as a different character.
    uint64_t similar;
};

inline void AddReplacements(Replacements& to, const Replacements& from) {
    to.unreadable += from.unreadable;
    to.missing += from.missing;
    to.similar += from.similar;
}

// A "?" the target page wrote for a unit that was no "?": the input's fault or the page's.
inline void CountPageQuestion(Replacements& counts, bool unreadable) {
    counts.unreadable += unreadable;
    counts.missing += !unreadable;
}

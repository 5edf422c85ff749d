// What a text's bytes most likely are when nothing marks them: empty, binary, a Unicode form,
// plain ASCII, or one of the 8-bit pages the program converts, told apart by how the letters
// each page would make pair up in the languages that page writes. Pure functions over bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "src/state/code_pages.h"

enum GuessKind : uint8_t {
    kGuessEmpty,
    kGuessBinary,
    kGuessUnicode,  // pages[0] is the form; strayBytes counts bytes no UTF-8 sequence holds
    kGuessAscii,    // 7-bit text, which every page reads alike
    kGuessPage,     // pages[] the likeliest 8-bit pages, each reading the text differently
};

constexpr int kGuessMaxPages = 3;

struct PageGuess {
    GuessKind kind;
    int pageCount;
    CodePageId pages[kGuessMaxPages];
    // How sure the first answer is, in percent; confident when a wrong choice would be
    // far less likely than the first.
    int confidence;
    bool confident;
    uint32_t strayBytes;
};

// Looks at the text's bytes; it may stop early once the evidence suffices.
PageGuess GuessPage(const uint8_t* data, size_t count);

// The signature of a common binary format, or bytes no text holds (zero bytes outside the
// UTF-16 and UTF-32 patterns, control bytes).
bool LooksBinary(const uint8_t* data, size_t count);

// The signature of a common binary format (a program, an image, an archive, a document).
bool HasFormatSignature(const uint8_t* data, size_t count);

// The part of that no reading of zero bytes can change: a format's signature, or control bytes
// no text holds. A conversion whose source was guessed refuses what this finds.
bool HasBinaryMarks(const uint8_t* data, size_t count);

// The character the page makes of byte `byte` (0x80 to 0xFF), or 0 for a page the model lacks.
uint16_t GuessedPageUnit(CodePageId page, uint8_t byte);

// Where a conversion first loses a character: the slow walk a refused replacement takes to tell
// the user where to look. It runs only when a conversion counted something lost.
#pragma once

#include <cstdint>

#include "src/state/code_pages.h"

// A place in a text, counted in its characters from 1. A line ends at LF, CR LF or a CR alone.
struct TextPosition {
    uint32_t line;
    uint32_t column;
};

// Walks `size` bytes of `text` in `source`, as the input's file holds them after any mark and
// followed by four zero bytes, character by character with the rules of the routes to `target`,
// and sets `at` to the first character written as "?" for something else or as a similar one.
// Big-endian units are turned little-endian in place first. False when no character is lost.
bool FindFirstLoss(uint8_t* text, uint32_t size, CodePageId source, CodePageId target,
                   TextPosition* at);

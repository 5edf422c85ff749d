// The encoding names an unknown option may have been meant as.
#pragma once

#include <vector>

#include "src/cmdline/name_table.h"

// At most this many names are offered: more would be a list, not a suggestion.
constexpr size_t kMostSuggestions = 3;

// Names of the table, as they are written there, for the option text `text` (the argument
// without its first character): first the encoding a common spelling of it stands for
// ("CP1251", "windows-1251", "iso-8859-5", "koi8-r", "utf-16"), by its number or by its name
// written without separators; otherwise the names a small slip away (a letter changed, left out,
// added, or two swapped), the nearest ones only. One name per encoding; none when nothing is
// close.
std::vector<LPCWSTR> SuggestEncodingNames(LPCWSTR text);

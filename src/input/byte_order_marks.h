// Byte order marks at the start of the loaded input.
#pragma once

// Tests the loaded input for a mark, first match wins. A match decides the source whatever the
// command line named: sourceCp, inputHadBom and status are set and the mark is skipped (readCursor
// and inputByteCount). Returns whether a mark was found.
bool SkipByteOrderMark();

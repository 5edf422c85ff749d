// The output step's text when the input was kept open for a copy (KeepTextInFile).
#pragma once

// Writes the text behind the mark: the system copies it from the input straight to the output,
// and the input is closed. True when the text is written or the run has failed: a failed write
// sets outputWriteFailed; an input that changed size or could not be read ends the run as that
// read would have while loading (FailAsUnreadInput). False when the system declined: the text has
// then been read into the block as usual, and the copy route writes it.
bool CopyTextFromInput();

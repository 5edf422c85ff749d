// Runs whose text leaves exactly as it came (the same encoding on both sides, only a byte order
// mark added or taken away): the text need not enter the block, the system may copy it from
// file to file while the output is written.
#pragma once

#include "src/state/run_state.h"

// After OpenInput: when the run only copies its text and the platform lets the input stay open
// for that, recognises the mark from the first bytes and the size the file reported, sets
// sourceCp, inputHadBom, inputSize and inputByteCount as loading the whole input would have, and
// returns true with the input still open (readEnd then stands at the first bytes only). Otherwise
// changes nothing: the input is then read whole. Runs that guess their source never qualify
// (the guess may depend on every byte of the text), nor runs that add a mark (see the .cpp).
bool KeepTextInFile();

// Ends the run as a read of the input that failed while loading: status kStatusInputFailed, the
// reason noted, and the source, mark and size shown as loading had left them (the command line's
// source, no mark, no size).
void FailAsUnreadInput(RunFailure failure, DWORD error);

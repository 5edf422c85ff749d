#include "src/input/convert_file.h"

#include "src/input/byte_order_marks.h"
#include "src/input/guess_page.h"
#include "src/input/keep_text_in_file.h"
#include "src/input/load_input.h"
#include "src/input/sniff_encoding.h"
#include "src/transcode/output_step.h"

// 8-bit text left to the guess: its letters name the page (or show UTF-8 with a few stray
// bytes). Where the platform reads the guessed page, a guess that is not sure ends the run
// rather than write a text read with the wrong letters; elsewhere it is only told.
static bool SettleEightBitPage(const uint8_t* text, uint32_t count) {
    PageGuess guess = GuessPage(text, count);
    if (guess.kind == kGuessUnicode && guess.pages[0] == static_cast<CodePageId>(CP_UTF8)) {
        if (kReadsGuessedPage) {
            runState.sourceCp = guess.pages[0];
            runState.guessStrayBytes = guess.strayBytes;
        }
        return true;
    }
    if (guess.kind != kGuessPage) {
        return true;
    }
    runState.guessedPageCount = guess.pageCount;
    for (int i = 0; i < guess.pageCount; ++i) {
        runState.guessedPages[i] = guess.pages[i];
    }
    runState.guessSure = guess.confident;
    if (!kReadsGuessedPage) {
        return true;
    }
    if (guess.confident) {
        runState.sourceCp = guess.pages[0];
        return true;
    }
    ReleaseWorkBuffer();
    NoteFailure(kFailureInputUnsure, ERROR_SUCCESS);
    runState.status = kStatusInputFailed;
    runState.sourceCp = runState.requestedSourceCp;
    return false;
}

// Reads the rest of an opened input and settles its source by the mark or the guess.
static bool ReadAndRecognize() {
    if (!ReadInput()) {
        return false;
    }
    if (!SkipByteOrderMark() && runState.requestedSourceCp == CP_AUTODETECT) {
        runState.sourceCp = SniffEncoding(runState.workBuffer.readCursor);
        // Converting a binary file as text would write a corrupt copy and call it a success;
        // recognition only reports and writes nothing, and a named source is the user's word.
        // A format's signature refuses whatever form the zero bytes suggested (a program's
        // bytes read as UTF-32 are no text either); zero bytes that made the guess UTF-16 or
        // UTF-32 make its control units text.
        const uint8_t* text = runState.workBuffer.readCursor;
        uint32_t count = runState.inputByteCount;
        bool wide = runState.sourceCp == CP_UTF16LE || runState.sourceCp == CP_UTF16BE ||
                    runState.sourceCp == CP_UTF32LE || runState.sourceCp == CP_UTF32BE;
        bool binary = wide ? HasFormatSignature(text, count) : HasBinaryMarks(text, count);
        if (runState.targetCp != CP_DETECT_ONLY && binary) {
            ReleaseWorkBuffer();
            NoteFailure(kFailureInputBinary, ERROR_SUCCESS);
            runState.status = kStatusInputFailed;
            return false;
        }
    }
    return true;
}

bool RecognizeInput() {
    // First, so that the log sees the command line's source whatever fails next.
    runState.requestedSourceCp = runState.sourceCp;
    return OpenInput() && ReadAndRecognize();
}

RunStatus ConvertFile() {
    runState.requestedSourceCp = runState.sourceCp;
    if (!OpenInput()) {
        return runState.status;
    }
    // A text that leaves as it came stays in its file for the output step to copy.
    if (!KeepTextInFile() && !ReadAndRecognize()) {
        return runState.status;
    }
    if (runState.targetCp != CP_DETECT_ONLY && runState.requestedSourceCp == CP_AUTODETECT &&
        runState.inputHadBom == 0 && runState.sourceCp == static_cast<CodePageId>(CP_ACP) &&
        !SettleEightBitPage(runState.workBuffer.readCursor, runState.inputByteCount)) {
        return runState.status;
    }
    if (runState.targetCp == CP_DETECT_ONLY && runState.requestedSourceCp == CP_AUTODETECT) {
        ReleaseWorkBuffer();
        if (runState.inputHadBom == 1) {
            runState.status += kStatusBomOffset;
        }
        return runState.status;
    }
    return WriteOutputFile();
}

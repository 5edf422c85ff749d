// The parts the run's report is made of, each a function of the run's state alone, and the
// usage summary the help shares with it.
#pragma once

#include "src/run/report_words.h"

// "codeshift [-SOURCE] [-TARGET] ...", as the platform's command line takes it.
WideString UsageSummary();

// A usage error: what was wrong, the encodings an unknown option may have meant, the usage and
// where the guide is.
void AddUsageLines(const RunState& run, MessageLines* lines);

// Why the input could not be read (or replaced), and why the output could not be written.
void AddInputFailureLines(const RunState& run, MessageLines* lines);
void AddOutputFailureLines(const RunState& run, MessageLines* lines);

// The pages a guess found likely, as options: "-A1251, -KOI8R or -CP866".
WideString GuessedOptions(const RunState& run);

// Which page a guessed source was read with, and why.
void AddGuessLines(const RunState& run, MessageLines* lines);

// How many characters were not carried over as they were, how many bytes became private-use
// characters, and how many line ends changed.
void AddReplacementLines(const RunState& run, MessageLines* lines);
void AddPrivateUseLines(const RunState& run, MessageLines* lines);
void AddLineEndLines(const RunState& run, MessageLines* lines);

// Why the log got no record, or only part of one.
void AddLogWarning(const RunState& run, MessageLines* lines);

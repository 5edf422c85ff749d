// The words every message of a run is built from: the program's name before each line, a name
// shown in quotes, an encoding's label, option and title.
#pragma once

#include <string>
#include <vector>

#include "src/platform/platform.h"
#include "src/state/run_state.h"

// The lines a message is made of, each without its line end.
typedef std::vector<WideString> MessageLines;

// "codeshift: " and the line: every line starts with the program's name, so that the lines of
// many runs, or of a script that calls several programs, can be told apart.
WideString ProgramLine(const WideString& line);

// A line about the text of one file among several says which file it speaks of.
WideString FileLine(const RunState& run, const WideString& line);

// A name as the user typed it, in quotes, shown as the log shows it: a line stays one line and
// a name cannot steer the terminal.
WideString Quoted(const WideString& name);

// Plain ASCII text as wide text.
WideString Widened(const char* text);

// The log's label of an encoding, "?" for one the table does not name.
WideString LabelOf(CodePageId cp);

// The option that reads text in `id`: the encoding table's name of the page, or of the Unicode
// form with or without its byte order mark.
WideString OptionFor(CodePageId id, bool marked);

// A page's common name: "Windows-1251", "KOI8-R", "DOS page 866".
WideString PageTitle(CodePageId id);

// The lines joined, each ended by a line feed, as a channel takes them.
WideString JoinedLines(const MessageLines& lines);

#include "src/log/log_fields.h"
#include "src/run/report_parts.h"

// "1 character <one> and was written as <as>", or for any other count "N characters <many> and
// were ...", the count grouped by thousands; nothing for none.
static void AddCountLine(const RunState& run, uint64_t count, const WideString& one,
                         const WideString& many, const WideString& as, MessageLines* lines) {
    if (count == 0) {
        return;
    }
    // No count exceeds the input's size, which is below 4 GiB.
    WideString grouped;
    WideString line = FormatGroupedNumber(static_cast<uint32_t>(count), &grouped);
    if (count == 1) {
        line.append(WSTR(" character ") + one + WSTR(" and was written as "));
    } else {
        line.append(WSTR(" characters ") + many + WSTR(" and were written as "));
    }
    lines->push_back(FileLine(run, line + as));
}

// A conversion that did not carry every character over as it was still succeeds (scripts and
// stored logs rely on exit code 0 and on the record as it is), but whoever runs it learns how
// much of the text changed, and which side to look at: input that was not valid in its
// encoding (swapped encodings, most often), characters the target page lacks, and characters
// the page wrote as a similar one.
void AddReplacementLines(const RunState& run, MessageLines* lines) {
    const Replacements& counts = run.replacements;
    if (counts.unreadable + counts.missing + counts.similar == 0) {
        return;
    }
    const WideString source = LabelOf(run.sourceCp);
    const WideString target = LabelOf(OutputCp(run));
    const WideString question = WSTR("\"?\"");
    AddCountLine(run, counts.unreadable, WSTR("could not be read as ") + source,
                 WSTR("could not be read as ") + source, question, lines);
    AddCountLine(run, counts.missing, WSTR("is not in ") + target, WSTR("are not in ") + target,
                 question, lines);
    AddCountLine(run, counts.similar, WSTR("has no exact equivalent in ") + target,
                 WSTR("have no exact equivalent in ") + target, WSTR("a similar one"), lines);
}

// Bytes the source page leaves undefined (and a few of its own characters) that its table reads
// as private-use characters: the text is carried over, but not as standard characters.
void AddPrivateUseLines(const RunState& run, MessageLines* lines) {
    uint64_t count = run.privateUseRead;
    if (count == 0) {
        return;
    }
    const WideString page = LabelOf(run.sourceCp);
    WideString grouped;
    WideString line = FormatGroupedNumber(static_cast<uint32_t>(count), &grouped);
    line.append(count == 1 ? WSTR(" byte has no standard character in ") + page +
                                 WSTR(" and was written as a private-use character")
                           : WSTR(" bytes have no standard character in ") + page +
                                 WSTR(" and were written as private-use characters"));
    lines->push_back(FileLine(run, line));
}

// Line ends rewritten are a change the user asked for, but one they should see the size of.
void AddLineEndLines(const RunState& run, MessageLines* lines) {
    uint64_t count = run.lineEndsChanged;
    if (count == 0) {
        return;
    }
    WideString grouped;
    WideString line = FormatGroupedNumber(static_cast<uint32_t>(count), &grouped);
    line.append(count == 1 ? WSTR(" line end was") : WSTR(" line ends were"));
    line.append(run.lineEnds == kLineEndsLf ? WSTR(" written as LF") : WSTR(" written as CR LF"));
    lines->push_back(FileLine(run, line));
}

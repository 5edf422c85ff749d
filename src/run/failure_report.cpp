#include "src/log/log_fields.h"
#include "src/run/report_parts.h"

// "cannot <verb> <what> "<name>"", the reason, and what the failure left as it was.
static WideString FileFailure(const WideString& failed, const WideString& name, bool isStream,
                              const WideString& reason, const WideString& after) {
    WideString line = WSTR("cannot ") + failed + WSTR(" ") + Quoted(name);
    if (isStream) {
        line.append(failed == WSTR("read input") ? WSTR(" (standard input)")
                                                 : WSTR(" (standard output)"));
    }
    if (!reason.empty()) {
        line.append(WSTR(": ") + reason);
    }
    return ProgramLine(line + after);
}

void AddInputFailureLines(const RunState& run, MessageLines* lines) {
    WideString reason = SystemErrorText(run.failureError);
    switch (run.failure) {
        case kFailureInputNotFile:
            reason = WSTR("not a regular file");
            break;
        case kFailureInputTooLarge: {
            WideString grouped;
            reason = WideString(WSTR("larger than ")) +
                     FormatGroupedNumber(kLargestInputBytes, &grouped) +
                     WSTR(" bytes, the most one run can hold");
            break;
        }
        case kFailureInputMemory:
            reason = WSTR("not enough memory to hold it");
            break;
        case kFailureInputChanged:
            reason = WSTR("its size changed while it was read");
            break;
        case kFailureInputEmpty:
            reason = WSTR("the file is empty");
            break;
        case kFailureInputUnsure:
            reason = WSTR("its letters do not tell its 8-bit page for sure; name it, likely ") +
                     GuessedOptions(run);
            break;
        case kFailureInputBinary:
            reason =
                WSTR("looks like a binary file, not text; name its source to convert it anyway");
            break;
        case kFailureSourcePage:
            reason = WSTR("the system cannot convert from ") + LabelOf(run.sourceCp);
            break;
        case kFailureInputReplaced:
            lines->push_back(FileFailure(WSTR("replace input"), run.inputName, false,
                                         WSTR("it changed while it was being converted"),
                                         WSTR("; it was left as it is")));
            return;
        default:
            break;
    }
    lines->push_back(
        FileFailure(WSTR("read input"), run.inputName, run.inputIsStream, reason, WideString()));
}

// How many characters a replacement in place would have lost, and where the first one stands.
static WideString LossRefusalReason(const RunState& run) {
    const Replacements& counts = run.replacements;
    uint64_t count = counts.unreadable + counts.missing + counts.similar;
    // No count exceeds the input's size, which is below 4 GiB.
    WideString grouped;
    WideString reason = FormatGroupedNumber(static_cast<uint32_t>(count), &grouped);
    reason.append(count == 1 ? WSTR(" character would be written as \"?\" or as a similar one")
                             : WSTR(" characters would be written as \"?\" or as a similar one"));
    if (run.lossLine > 0) {
        WideString line;
        WideString column;
        AppendNumber(run.lossLine, 10, 1, &line);
        AppendNumber(run.lossColumn, 10, 1, &column);
        reason.append((count == 1 ? WSTR(", at line ") : WSTR(", the first at line ")) + line +
                      WSTR(", column ") + column);
    }
    return reason;
}

void AddOutputFailureLines(const RunState& run, MessageLines* lines) {
    // A reader that went away took what it wanted: as for other tools in a pipeline, the run
    // ends without a word, its exit code and log record still saying the output failed.
    if (run.outputInPlace && run.failure == kFailureOutputWrite &&
        run.failureError == ERROR_NO_DATA) {
        return;
    }
    WideString reason = SystemErrorText(run.failureError);
    WideString failed = WSTR("write output");
    switch (run.failure) {
        case kFailureOutputCommit:
            failed = WSTR("replace output");
            break;
        case kFailureTargetPage:
            reason = WSTR("the system cannot convert to ") + LabelOf(OutputCp(run));
            break;
        case kFailureOutputOwner:
            reason = WSTR("its owner and group could not be kept");
            break;
        case kFailureOutputRules:
            reason = WSTR("its permissions and access rules could not be kept");
            break;
        case kFailureOutputRights:
            reason = WSTR("its set-id bits, capabilities or file flags could not be kept");
            break;
        case kFailureOutputMoved:
            reason = WSTR("a folder on its path was moved or replaced while it was written");
            break;
        case kFailureOutputIsInput:
            reason = WSTR("it is the input file, and the text would be written over itself");
            break;
        case kFailureOutputLossy:
            lines->push_back(
                FileFailure(WSTR("replace input"), run.inputName, false, LossRefusalReason(run),
                            WSTR("; it was left as it is (--lossy accepts the loss)")));
            return;
        case kFailureOutputFolder:
            reason.append(
                WSTR("; the folder it is in must be writable to replace it, not only the file"));
            break;
        default:
            break;
    }
    // A stream written in place keeps what reached it before the failure.
    WideString after = run.failure == kFailureOutputIsInput ? WSTR("; nothing was written")
                       : run.outputInPlace                  ? WideString()
                                                            : WSTR("; it was left as it was");
    lines->push_back(FileFailure(failed, run.outputName, run.outputIsStream, reason, after));
}

// A record cut short by a full disk or a size limit says how much of it the log kept.
void AddLogWarning(const RunState& run, MessageLines* lines) {
    WideString line = WSTR("warning: no record written to the log ") + Quoted(run.logName);
    if (run.logRecordLeft != kLogRecordNothing) {
        line = WSTR("warning: the record was written to the log ") + Quoted(run.logName) +
               (run.logRecordLeft == kLogRecordTakenBack ? WSTR(" only in part and was taken back")
                                                         : WSTR(" only in part"));
    }
    WideString reason = run.logRefusal == kLogIsInput    ? WSTR("it is the input of this run")
                        : run.logRefusal == kLogIsOutput ? WSTR("it is the output of this run")
                        : run.logRefusal == kLogNotALog
                            ? WSTR("it holds something other than a log of codeshift")
                        : run.logRefusal == kLogNoFile
                            ? WSTR("it is a device or a file of the system, which keeps no log")
                            : SystemErrorText(run.logError);
    if (!reason.empty()) {
        line.append(WSTR(": ") + reason);
    }
    lines->push_back(ProgramLine(line));
}

#include "src/run/run_report.h"

#include "src/run/report_parts.h"

MessageLines RunReport(const RunState& run) {
    MessageLines lines;
    switch (run.status) {
        case kStatusUsage:
            AddUsageLines(run, &lines);
            break;
        case kStatusInputFailed:
            AddInputFailureLines(run, &lines);
            break;
        case kStatusOutputFailed:
            AddOutputFailureLines(run, &lines);
            break;
        case kStatusConverted:
            AddGuessLines(run, &lines);
            AddReplacementLines(run, &lines);
            AddPrivateUseLines(run, &lines);
            AddLineEndLines(run, &lines);
            // The new text took the name's place; a hard link still leads to the old file.
            if (run.outputHadOtherNames) {
                lines.push_back(ProgramLine(WSTR("warning: ") + Quoted(run.outputName) +
                                            WSTR(" was replaced; its other names (hard links) "
                                                 "keep the old text")));
            }
            break;
        default:
            break;
    }
    if (run.logRefusal != kLogTaken) {
        AddLogWarning(run, &lines);
    }
    return lines;
}

void ReportRun() {
    MessageLines lines = RunReport(runState);
    if (!lines.empty()) {
        WriteMessageText(kStreamMessages, JoinedLines(lines).c_str());
    }
}

#include "src/transcode/replace_failures.h"

// Which error the message gives: the system's, none (the failure says it all), or the refusal
// of access that a folder's refusal is, whichever call refused.
enum ToldError : uint8_t { kToldSystemError, kToldNoError, kToldAccessDenied };

struct ReplaceFailureRow {
    ReplaceProblem problem;
    RunFailure creating;
    RunFailure committing;
    ToldError told;
    RunStatus status;
};

// A refusal is told apart from the system's plain words where those would mislead: the user who
// may write the file may still lack the right to the folder that a replacement needs, and rights
// the replacement could not keep, or a folder moved away under the run, are no refusal of the
// file at all. An input that changed while it was converted fails the input: the text converted
// is no longer all of it.
constexpr ReplaceFailureRow kReplaceFailures[] = {
    {kReplaceRefused, kFailureOutputCreate, kFailureOutputCommit, kToldSystemError,
     kStatusOutputFailed},
    {kReplaceFolderRefused, kFailureOutputFolder, kFailureOutputFolder, kToldAccessDenied,
     kStatusOutputFailed},
    {kReplaceOwnerNotKept, kFailureOutputOwner, kFailureOutputOwner, kToldSystemError,
     kStatusOutputFailed},
    {kReplaceRulesNotKept, kFailureOutputRules, kFailureOutputRules, kToldSystemError,
     kStatusOutputFailed},
    {kReplaceRightsNotKept, kFailureOutputRights, kFailureOutputRights, kToldNoError,
     kStatusOutputFailed},
    {kReplaceFolderMoved, kFailureOutputMoved, kFailureOutputMoved, kToldNoError,
     kStatusOutputFailed},
    {kReplaceTargetChanged, kFailureInputReplaced, kFailureInputReplaced, kToldNoError,
     kStatusInputFailed},
};

ReplaceFailure FailureOfReplacement(ReplaceStep step, ReplaceResult result) {
    const ReplaceFailureRow* row = &kReplaceFailures[0];
    for (const ReplaceFailureRow& r : kReplaceFailures) {
        if (r.problem == result.problem) {
            row = &r;
        }
    }
    DWORD error = row->told == kToldSystemError    ? result.error
                  : row->told == kToldAccessDenied ? ERROR_ACCESS_DENIED
                                                   : ERROR_SUCCESS;
    return ReplaceFailure{step == kCreatingTemporary ? row->creating : row->committing, error,
                          row->status};
}

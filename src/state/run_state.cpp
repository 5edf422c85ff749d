#include "src/state/run_state.h"

RunState runState;

void ResetRunState() {
    runState.status = kStatusUsage;
    runState.sourceCp = CP_UNSET;
    runState.targetCp = CP_UNSET;
    runState.requestedSourceCp = 0;
    runState.writeBom = 1;
    runState.inputHadBom = 0;
    runState.inputName.clear();
    runState.outputName.clear();
    runState.logName.clear();
    runState.moreInputNames.clear();
    runState.guessedPageCount = 0;
    runState.guessSure = false;
    runState.guessStrayBytes = 0;
    runState.oneOfMany = false;
    runState.inputIsStream = false;
    runState.outputIsStream = false;
    runState.logMode = 0;
    runState.inputSize = 0;
    runState.inputByteCount = 0;
    runState.outputByteCount = 0;
    runState.replacements = Replacements{};
    runState.privateUseRead = 0;
    runState.refusesLoss = false;
    runState.lossLine = 0;
    runState.lossColumn = 0;
    runState.lineEnds = kLineEndsKept;
    runState.lineEndsChanged = 0;
    runState.lineEndAfterCr = false;
    runState.workBuffer = WorkBuffer{nullptr, nullptr, nullptr, nullptr};
    runState.inputFile = INVALID_HANDLE_VALUE;
    runState.inputIdentity = FileIdentity{};
    runState.outputIsInput = false;
    runState.outputFile = INVALID_HANDLE_VALUE;
    runState.outputWriteFailed = false;
    runState.outputHadOtherNames = false;
    runState.outputTempName.clear();
    runState.outputInPlace = false;
    runState.failure = kFailureNone;
    runState.failureError = ERROR_SUCCESS;
    runState.usageProblem = kUsageNone;
    runState.usageArgument.clear();
    runState.request = kRequestRun;
    runState.logFailed = false;
    runState.logError = ERROR_SUCCESS;
    runState.logRefusal = kLogTaken;
    runState.logRecordLeft = kLogRecordNothing;
}

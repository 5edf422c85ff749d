#include "src/input/convert_file.h"

RunStatus ConvertFile() {
    runState.requestedSourceCp = runState.sourceCp;
    runState.status = kStatusInputFailed;
    return runState.status;
}

#pragma once

// Appends (or writes afresh) the UTF-8 record of the run to runState.logName.
void WriteRunLog();

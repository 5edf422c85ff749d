#pragma once

// Appends (or writes afresh) the UTF-8 record of the run to runState.logName. A log that
// cannot be opened gets no record, noted in logRefusal and logError; the run's status is never
// touched.
void WriteRunLog();

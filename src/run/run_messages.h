// What a run tells the person who started it, besides its exit code and its log record.
#pragma once

// The closing lines of a run, written once after the log record: what was wrong with the
// command line, why the input or the output failed, and warnings. A successful conversion or
// recognition writes nothing.
void ReportRun();

// The answer to --help or --version, on standard output.
void AnswerRequest();

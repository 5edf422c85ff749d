// A conversion that replaces its input file and would write "?" or a similar character for
// anything is refused where the platform asks for that, unless the user accepted the loss.
#pragma once

// Whether the finished conversion must not replace its input: runState.refusesLoss, the output
// is the input file, and the routes counted a character lost. When it must not, notes the
// failure (kFailureOutputLossy) and where the first lost character stands in the input, read
// again from its untouched file. Called after the text is written, before the commit.
bool RefusesLoss();

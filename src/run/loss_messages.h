// The lines a run says about characters it would not carry over as they were, beyond the
// counts of what it replaced.
#pragma once

#include "src/platform/platform.h"

// "N bytes have no standard character in <page> and were written as private-use characters",
// or nothing when the run read none.
WideString PrivateUseLine();

// Why a replacement in place was refused for what it would lose: how many characters, where the
// first one stands, and the option that accepts the loss.
WideString LossRefusalReason();

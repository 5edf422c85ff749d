#include "src/platform/platform.h"

// Large pages need a privilege that a user rarely holds; the block stays as it is.
void PrepareLargeBlock(void*, size_t) {}

#include "src/platform/platform.h"
#include "src/run/run_sequence.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return RunOnce();
}

#include "src/input/reread_input.h"

#include "src/state/run_state.h"

bool ReadInputAgain(std::vector<uint8_t>* text) {
    HANDLE file = CreateFileW(runState.inputName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    text->assign(static_cast<size_t>(runState.inputSize) + 4, 0);
    uint32_t count = 0;
    while (count < runState.inputSize) {
        DWORD got = 0;
        if (!ReadFile(file, text->data() + count, runState.inputSize - count, &got, nullptr) ||
            got == 0) {
            break;
        }
        count += got;
    }
    CloseHandle(file);
    if (count != runState.inputSize || runState.inputByteCount > count) {
        return false;
    }
    text->erase(text->begin(), text->begin() + (count - runState.inputByteCount));
    return true;
}

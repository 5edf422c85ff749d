#include "src/input/load_input.h"

#include <cstdlib>

void ReleaseWorkBuffer() {
    std::free(runState.workBuffer.block);
    runState.workBuffer = WorkBuffer{nullptr, nullptr, nullptr, nullptr};
}

static void CloseInput() {
    CloseHandle(runState.inputFile);
    runState.inputFile = INVALID_HANDLE_VALUE;
}

static bool Refuse(RunFailure failure, DWORD error = ERROR_SUCCESS) {
    NoteFailure(failure, error);
    runState.status = kStatusInputFailed;
    return false;
}

// The size of an input that can be loaded, or INVALID_FILE_SIZE with the reason noted. Anything
// but a disk file could block the read or has no size worth the name; 4 GiB and more does not
// fit the 32-bit counts.
static DWORD LoadableSize(HANDLE file) {
    if (GetFileType(file) != FILE_TYPE_DISK) {
        NoteFailure(kFailureInputNotFile, ERROR_SUCCESS);
        return INVALID_FILE_SIZE;
    }
    DWORD high = 0;
    DWORD size = GetFileSize(file, &high);
    if (size == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS) {
        NoteFailure(kFailureInputRead, GetLastError());
        return INVALID_FILE_SIZE;
    }
    if (size == INVALID_FILE_SIZE || high != 0 || BlockBytesFor(size) == 0) {
        NoteFailure(kFailureInputTooLarge, ERROR_SUCCESS);
        return INVALID_FILE_SIZE;
    }
    return size;
}

bool LoadInput() {
    runState.inputFile = CreateFileW(runState.inputName.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (runState.inputFile == INVALID_HANDLE_VALUE) {
        return Refuse(kFailureInputOpen, GetLastError());
    }
    DWORD size = LoadableSize(runState.inputFile);
    uint8_t* block = nullptr;
    if (size != INVALID_FILE_SIZE) {
        block = static_cast<uint8_t*>(std::malloc(BlockBytesFor(size)));
    }
    if (block == nullptr) {
        CloseInput();
        // A size that could not be loaded has its reason noted already.
        return Refuse(kFailureInputMemory);
    }
    PrepareLargeBlock(block, BlockBytesFor(size));
    WorkBuffer& buffer = runState.workBuffer;
    buffer.block = block;
    buffer.writeBase = block + kUnusedBytes;
    buffer.readCursor = block + kBlockOverhead;

    // One read, asking for more than the file holds: what it returns is the input.
    DWORD request = static_cast<DWORD>(ReadRequestFor(size));
    DWORD count = 0;
    BOOL read = ReadFile(runState.inputFile, buffer.readCursor, request, &count, nullptr);
    DWORD readError = read ? ERROR_SUCCESS : GetLastError();
    CloseInput();
    runState.inputByteCount = count;
    // A file that grew after its size was taken could leave no room for the zero bytes.
    if (!read || count == 0 || count > request - kZeroBytes) {
        ReleaseWorkBuffer();
        return Refuse(!read        ? kFailureInputRead
                      : count == 0 ? kFailureInputEmpty
                                   : kFailureInputChanged,
                      readError);
    }
    buffer.readEnd = buffer.readCursor + count;
    for (uint32_t i = 0; i < kZeroBytes; ++i) {
        buffer.readEnd[i] = 0;
    }
    runState.inputSize = count;
    return true;
}

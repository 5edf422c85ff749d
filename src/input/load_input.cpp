#include "src/input/load_input.h"

#include <cstdint>
#include <cstdlib>

void ReleaseWorkBuffer() {
    std::free(runState.workBuffer.block);
    runState.workBuffer = WorkBuffer{nullptr, nullptr, nullptr, nullptr};
}

void CloseInput() {
    if (runState.inputFile != INVALID_HANDLE_VALUE) {
        CloseHandle(runState.inputFile);
        runState.inputFile = INVALID_HANDLE_VALUE;
    }
}

static bool Refuse(RunFailure failure, DWORD error = ERROR_SUCCESS) {
    NoteFailure(failure, error);
    runState.status = kStatusInputFailed;
    return false;
}

// The size of an input that can be loaded, or INVALID_FILE_SIZE with the reason noted. Anything
// but a disk file could block the read or has no size worth the name; more than
// kLargestInputBytes does not fit the 32-bit counts. The identity, where it was read, holds the
// size already.
static DWORD LoadableSize(HANDLE file, bool identified) {
    if (GetFileType(file) != FILE_TYPE_DISK) {
        NoteFailure(kFailureInputNotFile, ERROR_SUCCESS);
        return INVALID_FILE_SIZE;
    }
    uint64_t whole = runState.inputIdentity.size;
    DWORD high = static_cast<DWORD>(whole >> 32);
    DWORD size = static_cast<DWORD>(whole);
    if (!identified) {
        size = GetFileSize(file, &high);
    }
    if (!identified && size == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS) {
        NoteFailure(kFailureInputRead, GetLastError());
        return INVALID_FILE_SIZE;
    }
    if (size == INVALID_FILE_SIZE || high != 0 || BlockBytesFor(size) == 0) {
        NoteFailure(kFailureInputTooLarge, ERROR_SUCCESS);
        return INVALID_FILE_SIZE;
    }
    return size;
}

// Notes, as the input is opened, its state and whether the output is this very file: the
// output step then replaces it only as it was read, and never writes over it in place. Only a
// file on disk counts: a terminal may well be standard input and output at once. An output of
// the input's own name (as every -r run has) is the input: should the name lead elsewhere by
// now, the commit's check of the state then refuses it. False when no identity was read.
static bool NoteInputIdentity() {
    HANDLE file = runState.inputFile;
    runState.outputIsInput = false;
    if (GetFileType(file) != FILE_TYPE_DISK || !ReadFileIdentity(file, &runState.inputIdentity)) {
        return false;
    }
    const WideString& output = runState.outputName;
    runState.outputIsInput =
        runState.outputIsStream
            ? StreamIsOpenFile(kStandardOutput, file)
            : !output.empty() && ((!runState.inputIsStream && output == runState.inputName) ||
                                  NamesOpenFile(output.c_str(), file));
    return true;
}

// Standard input has no size to take before the read: it is read to its end into a block that
// grows as it fills, within the same limit as a file and with the same layout, so that the run
// goes on as for a file read whole.
static bool LoadStream() {
    runState.inputFile = OpenStandardStream(kStandardInput);
    if (runState.inputFile == INVALID_HANDLE_VALUE) {
        return Refuse(kFailureInputOpen, GetLastError());
    }
    NoteInputIdentity();
    uint32_t room = 64u << 10;  // input bytes the block has room for
    uint32_t count = 0;
    uint8_t* block = static_cast<uint8_t*>(std::malloc(BlockBytesFor(room)));
    RunFailure failure = block == nullptr ? kFailureInputMemory : kFailureNone;
    DWORD error = ERROR_SUCCESS;
    while (failure == kFailureNone) {
        DWORD got = 0;
        if (!ReadFile(runState.inputFile, block + kBlockOverhead + count, room - count, &got,
                      nullptr)) {
            failure = kFailureInputRead;
            error = GetLastError();
            break;
        }
        count += got;
        if (count < room) {
            break;  // the stream ended
        }
        if (room == kLargestInputBytes) {
            // Full to the limit: one byte more and the input is too large.
            uint8_t extra = 0;
            if (!ReadFile(runState.inputFile, &extra, 1, &got, nullptr)) {
                failure = kFailureInputRead;
                error = GetLastError();
            } else if (got != 0) {
                failure = kFailureInputTooLarge;
            }
            break;
        }
        room = room > kLargestInputBytes / 2 ? kLargestInputBytes : room * 2;
        // A 32-bit process cannot hold a block of more than half its address space.
        size_t bytes = BlockBytesFor(room);
        uint8_t* grown = bytes > static_cast<size_t>(PTRDIFF_MAX)
                             ? nullptr
                             : static_cast<uint8_t*>(std::realloc(block, bytes));
        if (grown == nullptr) {
            failure = kFailureInputMemory;
            break;
        }
        block = grown;
    }
    CloseInput();
    if (failure != kFailureNone) {
        std::free(block);
        return Refuse(failure, error);
    }
    WorkBuffer& buffer = runState.workBuffer;
    buffer.block = block;
    buffer.writeBase = block + kUnusedBytes;
    buffer.readCursor = block + kBlockOverhead;
    buffer.readEnd = buffer.readCursor + count;
    for (uint32_t i = 0; i < kZeroBytes; ++i) {
        buffer.readEnd[i] = 0;
    }
    runState.inputByteCount = count;
    return true;
}

bool OpenInput() {
    if (runState.inputIsStream) {
        return LoadStream();
    }
    runState.inputFile = CreateFileW(runState.inputName.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (runState.inputFile == INVALID_HANDLE_VALUE) {
        return Refuse(kFailureInputOpen, GetLastError());
    }
    bool identified = NoteInputIdentity();
    DWORD size = LoadableSize(runState.inputFile, identified);
    uint8_t* block = nullptr;
    // The whole block, even when the text is then copied by the system and never enters it: an
    // input is refused for its size or for want of memory alike on every path.
    if (size != INVALID_FILE_SIZE) {
        block = static_cast<uint8_t*>(std::malloc(BlockBytesFor(size)));
    }
    if (block == nullptr) {
        CloseInput();
        // A size that could not be loaded has its reason noted already.
        return Refuse(kFailureInputMemory);
    }
    WorkBuffer& buffer = runState.workBuffer;
    buffer.block = block;
    buffer.writeBase = block + kUnusedBytes;
    buffer.readCursor = block + kBlockOverhead;
    buffer.readEnd = buffer.readCursor;
    runState.inputByteCount = size;
    DWORD count = 0;
    if (!ReadFile(runState.inputFile, buffer.readCursor, kHeadBytes, &count, nullptr)) {
        DWORD error = GetLastError();
        CloseInput();
        ReleaseWorkBuffer();
        return Refuse(kFailureInputRead, error);
    }
    buffer.readEnd += count;
    // An input shorter than a mark shows none: zero bytes follow what was read.
    for (uint32_t i = 0; i < kZeroBytes; ++i) {
        buffer.readEnd[i] = 0;
    }
    return true;
}

bool ReadInput() {
    WorkBuffer& buffer = runState.workBuffer;
    if (runState.inputIsStream) {
        if (runState.inputByteCount == 0) {
            ReleaseWorkBuffer();
            return Refuse(kFailureInputEmpty);
        }
        runState.inputSize = runState.inputByteCount;
        return true;
    }
    uint8_t* text = buffer.block + kBlockOverhead;
    DWORD head = static_cast<DWORD>(buffer.readEnd - text);
    // The size the file reported: inputByteCount counts from readCursor, which a mark skipped
    // already may have moved.
    uint32_t size = runState.inputByteCount + static_cast<uint32_t>(buffer.readCursor - text);
    PrepareLargeBlock(buffer.block, BlockBytesFor(size));
    // Asking for more than the file holds: what the reads return is the input.
    DWORD request = static_cast<DWORD>(ReadRequestFor(size));
    DWORD rest = 0;
    BOOL read = ReadFile(runState.inputFile, text + head, request - head, &rest, nullptr);
    DWORD readError = read ? ERROR_SUCCESS : GetLastError();
    CloseInput();
    DWORD count = head + rest;
    runState.inputByteCount = count;
    // A file that grew after its size was taken could leave no room for the zero bytes.
    if (!read || count == 0 || count > request - kZeroBytes) {
        ReleaseWorkBuffer();
        return Refuse(!read        ? kFailureInputRead
                      : count == 0 ? kFailureInputEmpty
                                   : kFailureInputChanged,
                      readError);
    }
    buffer.readEnd = text + count;
    for (uint32_t i = 0; i < kZeroBytes; ++i) {
        buffer.readEnd[i] = 0;
    }
    runState.inputSize = count;
    runState.inputByteCount = static_cast<uint32_t>(buffer.readEnd - buffer.readCursor);
    return true;
}

bool LoadInput() {
    return OpenInput() && ReadInput();
}

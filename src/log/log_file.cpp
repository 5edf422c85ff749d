#include "src/log/log_file.h"

#include <vector>

constexpr DWORD kLogRetryMilliseconds = 5;
constexpr int kLogAttempts = 400;  // about two seconds of waiting for another run

HANDLE OpenLogFile(LPCWSTR name, bool* created, DWORD* error) {
    // A missing file is created, and creating and locking are one step, so no other run can
    // slip in between. An existing file is never emptied here: whether it may take a record at
    // all is only known once it is open.
    DWORD disposition = CREATE_NEW;
    for (int attempt = 0; attempt < kLogAttempts; ++attempt) {
        HANDLE file = OpenLogTarget(name, disposition);
        if (file != INVALID_HANDLE_VALUE) {
            *created = disposition == CREATE_NEW;
            if (disposition == OPEN_ALWAYS) {
                // The file was not there a moment ago: empty now, it is this run's.
                DWORD high = 0;
                *created = GetFileSize(file, &high) == 0 && high == 0;
            }
            SetFilePointer(file, 0, nullptr, FILE_END);
            return file;
        }
        *error = GetLastError();
        if (disposition == CREATE_NEW &&
            (*error == ERROR_FILE_EXISTS || *error == ERROR_ALREADY_EXISTS)) {
            disposition = OPEN_EXISTING;
            continue;
        }
        if (disposition == OPEN_EXISTING && *error == ERROR_FILE_NOT_FOUND) {
            // The name is there yet names no file: a link to a file still to be made, or a log
            // removed since it was found. Opening it "always" creates the file it stands for.
            disposition = OPEN_ALWAYS;
            continue;
        }
        if (!FileBusyForNow(*error, name)) {
            return INVALID_HANDLE_VALUE;
        }
        Sleep(kLogRetryMilliseconds);
    }
    return INVALID_HANDLE_VALUE;
}

bool BeginsWith(HANDLE file, const std::string& bytes) {
    std::string start(bytes.size(), '\0');
    DWORD count = static_cast<DWORD>(bytes.size());
    DWORD read = 0;
    bool begins = SetFilePointer(file, 0, nullptr, FILE_BEGIN) == 0 &&
                  ReadFile(file, start.data(), count, &read, nullptr) && read == count &&
                  start == bytes;
    SetFilePointer(file, 0, nullptr, FILE_END);
    return begins;
}

LogWrite WriteUtf8Text(HANDLE file, LPCWSTR text) {
    LogWrite result{false, ERROR_SUCCESS, kLogRecordNothing};
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) {
        result.whole = size == 1;
        result.error = result.whole ? ERROR_SUCCESS : GetLastError();
        return result;
    }
    std::vector<char> bytes(static_cast<size_t>(size) + 2);
    int converted = WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), size, nullptr, nullptr);
    if (converted <= 1) {
        result.error = GetLastError();
        return result;
    }
    LONG startHigh = 0;
    SetLastError(ERROR_SUCCESS);
    DWORD start = SetFilePointer(file, 0, &startHigh, FILE_CURRENT);
    bool known = start != INVALID_SET_FILE_POINTER || GetLastError() == ERROR_SUCCESS;
    DWORD count = static_cast<DWORD>(converted - 1);
    DWORD written = 0;
    BOOL wrote = WriteFile(file, bytes.data(), count, &written, nullptr);
    if (wrote && written == count) {
        result.whole = true;
        return result;
    }
    result.error = wrote ? ERROR_DISK_FULL : GetLastError();
    // A full disk or a size limit stopped the write part-way: the file is cut back to where it
    // was, so that whoever reads it never finds part of a text.
    bool cut = false;
    if (known) {
        SetLastError(ERROR_SUCCESS);
        bool placed = SetFilePointer(file, static_cast<LONG>(start), &startHigh, FILE_BEGIN) !=
                          INVALID_SET_FILE_POINTER ||
                      GetLastError() == ERROR_SUCCESS;
        cut = placed && SetEndOfFile(file);
    }
    if (written > 0) {
        result.left = cut ? kLogRecordTakenBack : kLogRecordPart;
    }
    return result;
}

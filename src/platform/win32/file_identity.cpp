// The state of an open file on Windows: its volume and file index, size and the two change
// times.
#include "src/platform/platform.h"

static int64_t TimeOf(const FILETIME& time) {
    return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) |
                                time.dwLowDateTime);
}

bool ReadFileIdentity(HANDLE file, FileIdentity* identity) {
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_BASIC_INFO times{};
    if (!GetFileInformationByHandle(file, &info) ||
        !GetFileInformationByHandleEx(file, FileBasicInfo, &times, sizeof(times))) {
        return false;
    }
    *identity =
        FileIdentity{info.dwVolumeSerialNumber,
                     (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow,
                     (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow,
                     TimeOf(info.ftLastWriteTime), times.ChangeTime.QuadPart};
    return true;
}

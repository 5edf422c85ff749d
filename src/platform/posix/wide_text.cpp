#include "src/platform/posix/wide_text.h"

#include <sys/stat.h>

#include <cerrno>

static bool IsContinuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

// Length of the well-formed UTF-8 sequence at `i`, or 0 when it is not one.
static size_t WellFormedLength(const std::string& s, size_t i, uint32_t* cp) {
    unsigned char b0 = static_cast<unsigned char>(s[i]);
    size_t n = s.size() - i;
    if (b0 < 0x80) {
        *cp = b0;
        return 1;
    }
    size_t length = 0;
    uint32_t value = 0;
    uint32_t minimum = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2, value = b0 & 0x1F, minimum = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3, value = b0 & 0x0F, minimum = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4, value = b0 & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (n < length) {
        return 0;
    }
    for (size_t k = 1; k < length; ++k) {
        unsigned char b = static_cast<unsigned char>(s[i + k]);
        if (!IsContinuation(b)) {
            return 0;
        }
        value = (value << 6) | (b & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return 0;
    }
    *cp = value;
    return length;
}

WideString WideFromBytes(const std::string& bytes) {
    WideString out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        uint32_t cp = 0;
        size_t length = WellFormedLength(bytes, i, &cp);
        if (length == 0) {
            out.push_back(static_cast<WCHAR>(0xDC00 + static_cast<unsigned char>(bytes[i])));
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<WCHAR>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<WCHAR>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<WCHAR>(cp));
        }
        i += length;
    }
    return out;
}

static void AppendUtf8(std::string* out, uint32_t cp) {
    if (cp < 0x80) {
        out->push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::string BytesFromWide(LPCWSTR text) {
    std::string out;
    for (size_t i = 0; text[i] != 0; ++i) {
        uint32_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            AppendUtf8(&out, 0x10000 + ((u - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (u >= 0xDC80 && u <= 0xDCFF) {
            out.push_back(static_cast<char>(u - 0xDC00));
        } else {
            AppendUtf8(&out, u);
        }
    }
    return out;
}

DWORD ErrorFromErrno(int error) {
    switch (error) {
        case 0:
            return ERROR_SUCCESS;
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case EEXIST:
            return ERROR_FILE_EXISTS;
        case EPIPE:
            return ERROR_NO_DATA;  // the pipe's reader went away
        default:
            return kErrnoErrors | static_cast<DWORD>(error);
    }
}

int ErrnoFromError(DWORD error) {
    if ((error & 0xFFFF0000u) == kErrnoErrors) {
        return static_cast<int>(error & 0xFFFFu);
    }
    // The Windows codes the layer sets by itself, read as the errno closest to them.
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return ENOENT;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_SHARING_VIOLATION:
            return EWOULDBLOCK;
        case ERROR_ACCESS_DENIED:
            return EACCES;
        case ERROR_NOT_ENOUGH_MEMORY:
            return ENOMEM;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_INVALID_HANDLE:
            return EBADF;
        case ERROR_READ_FAULT:
        case ERROR_WRITE_FAULT:
            return EIO;
        case ERROR_INVALID_PARAMETER:
            return EINVAL;
        case ERROR_NO_UNICODE_TRANSLATION:
            return EILSEQ;
        case ERROR_NO_DATA:
            return EPIPE;
        default:
            return 0;
    }
}

DWORD NotRegularFileError(unsigned int mode) {
    return S_ISDIR(mode) ? ErrorFromErrno(EISDIR) : kErrorNotRegularFile;
}

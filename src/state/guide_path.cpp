#include "src/state/guide_path.h"

constexpr DWORD kModulePathChars = 1024;
constexpr DWORD kLongestModulePathChars = 1u << 16;

// The folder part of a path, separator included; either separator may end it (Windows accepts
// both, Linux uses "/"). Empty when there is none.
static WideString FolderOf(const WideString& path) {
    size_t cut = path.find_last_of(WSTR("\\/"));
    return cut == WideString::npos ? WideString() : path.substr(0, cut + 1);
}

WideString GuidePath() {
    // The program may lie in a folder of any depth: the storage grows until its path fits.
    WideString path(kModulePathChars, 0);
    DWORD length = 0;
    while ((length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()))) >=
           path.size()) {
        if (path.size() >= kLongestModulePathChars) {
            return WideString();
        }
        path.resize(path.size() * 2);
    }
    WideString folder = FolderOf(path.substr(0, length));
    if (folder.empty()) {
        return WideString();
    }
    WideString beside = folder + WSTR("readme.html");
    if (kInstalledGuide == nullptr ||
        GetFileAttributesW(beside.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return beside;
    }
    // An installed program: its documents are kept relative to the folder above its own.
    WideString installed = FolderOf(folder.substr(0, folder.size() - 1)) + kInstalledGuide;
    if (GetFileAttributesW(installed.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return installed;
    }
    return beside;
}

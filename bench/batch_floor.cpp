// The least that replacing many files in place can cost, for bench/batch.sh: for each file
// named, one read of the whole file, its bytes written to a temporary beside it, and the rename
// over it, with the disk flushes a safe replacement needs where codeshift's commit makes them
// (the temporary's data before the rename, the folder after it). It converts nothing and keeps
// nothing of the file's owner, rights or attributes, so codeshift's time over this one is what
// the conversion, the checks and the care add.
//
//   codeshift_batch_floor FILE...
//
// It writes as many bytes as a conversion of 8-bit Cyrillic text to UTF-8 does: the file's
// bytes, then again as many as it has above 7F (each such letter takes two bytes in UTF-8).
//
// Plain POSIX calls rather than the program's platform layer: the floor is what any program
// must do, not what this one does. Exit status 0, or 1 with a message when a step fails.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

int Fail(const char* what, const std::string& name) {
    std::fprintf(stderr, "codeshift_batch_floor: cannot %s %s\n", what, name.c_str());
    return 1;
}

bool ReadWhole(const std::string& name, std::vector<char>* text) {
    int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || fstat(fd, &info) != 0) {
        return false;
    }
    text->resize(static_cast<size_t>(info.st_size));
    size_t got = 0;
    while (got < text->size()) {
        ssize_t n = read(fd, text->data() + got, text->size() - got);
        if (n <= 0) {
            break;
        }
        got += static_cast<size_t>(n);
    }
    close(fd);
    return got == text->size();
}

bool WriteBytes(int fd, const char* bytes, size_t count) {
    size_t put = 0;
    while (put < count) {
        ssize_t n = write(fd, bytes + put, count - put);
        if (n <= 0) {
            return false;
        }
        put += static_cast<size_t>(n);
    }
    return true;
}

bool WriteWhole(int fd, const std::vector<char>& text) {
    size_t high = 0;
    for (char c : text) {
        high += static_cast<unsigned char>(c) >> 7;
    }
    return WriteBytes(fd, text.data(), text.size()) && WriteBytes(fd, text.data(), high);
}

int Replace(const std::string& name, std::vector<char>* text) {
    if (!ReadWhole(name, text)) {
        return Fail("read", name);
    }
    size_t slash = name.rfind('/');
    std::string folder = slash == std::string::npos ? "." : name.substr(0, slash + 1);
    std::string temp =
        (slash == std::string::npos ? "" : folder) + ".floor." + std::to_string(getpid()) + ".tmp";
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return Fail("create a temporary for", name);
    }
    bool written = WriteWhole(fd, *text) && fsync(fd) == 0;
    if (close(fd) != 0 || !written || rename(temp.c_str(), name.c_str()) != 0) {
        unlink(temp.c_str());
        return Fail("replace", name);
    }
    int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0 || fsync(dir) != 0) {
        return Fail("flush the folder of", name);
    }
    close(dir);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<char> text;
    for (int i = 1; i < argc; ++i) {
        if (Replace(argv[i], &text) != 0) {
            return 1;
        }
    }
    return 0;
}

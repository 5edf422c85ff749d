// Writes the benchmark corpora: seeded, so every machine and every run gets the same bytes.
//
//   codeshift_corpus KIND SIZE DIR [FORMS]
//
// KIND is ascii (plain English), cyrillic (Russian with English mixed in) or cjk (Chinese with
// English mixed in). SIZE is the size of the UTF-8 text in bytes (suffixes K, M, G for KiB,
// MiB, GiB); the text is cut at a character boundary and padded with blanks to exactly that
// size, so a corpus of one size is a prefix of the next larger one except for its last line.
// FORMS is a comma-separated subset of utf8,utf16le,utf16be,utf32le,cp1251 (default: all that
// can represent the kind; cp1251 cannot hold CJK). Files are DIR/KIND-SIZE.FORM, e.g.
// cyrillic-256M.utf16le. Nothing is read from anywhere: the words are in corpus_text.cpp.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/corpus_text.h"

namespace {

bool ParseSize(const char* text, uint64_t* size) {
    char* end = nullptr;
    unsigned long long n = std::strtoull(text, &end, 10);
    if (end == text) {
        return false;
    }
    uint64_t scale = 1;
    if (*end == 'K' || *end == 'k') {
        scale = 1024;
    } else if (*end == 'M' || *end == 'm') {
        scale = 1024 * 1024;
    } else if (*end == 'G' || *end == 'g') {
        scale = 1024ull * 1024 * 1024;
    } else if (*end != 0) {
        return false;
    }
    *size = n * scale;
    return true;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: codeshift_corpus ascii|cyrillic|cjk SIZE[K|M|G] DIR "
                 "[utf8,utf16le,utf16be,utf32le,cp1251]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4 || argc > 5) {
        return Usage();
    }
    std::string kind = argv[1];
    uint64_t size = 0;
    if ((kind != "ascii" && kind != "cyrillic" && kind != "cjk") || !ParseSize(argv[2], &size)) {
        return Usage();
    }
    std::string dir = argv[3];
    std::string formList = argc == 5 ? argv[4]
                                     : (kind == "cjk" ? "utf8,utf16le,utf16be,utf32le"
                                                      : "utf8,utf16le,utf16be,utf32le,cp1251");
    std::vector<std::string> forms;
    for (size_t at = 0; at <= formList.size();) {
        size_t comma = formList.find(',', at);
        if (comma == std::string::npos) {
            comma = formList.size();
        }
        forms.push_back(formList.substr(at, comma - at));
        at = comma + 1;
    }

    std::vector<FILE*> files;
    for (const std::string& form : forms) {
        std::string path = dir + "/" + kind + "-" + argv[2] + "." + form;
        FILE* f = std::fopen(path.c_str(), "wb");
        if (f == nullptr) {
            std::perror(path.c_str());
            return 1;
        }
        files.push_back(f);
    }

    // The same seed for every size, so a smaller corpus is the start of a larger one.
    CorpusRandom r = CorpusSeed(kind);
    uint64_t written = 0;
    std::string chunk, line, encoded;
    std::vector<uint32_t> cps;
    while (written < size) {
        chunk.clear();
        while (chunk.size() < (1u << 20) && written + chunk.size() < size) {
            line.clear();
            AddCorpusLine(r, kind, line);
            if (written + chunk.size() + line.size() > size) {
                // Keep whole characters only, then pad with blanks and end the line.
                size_t room = static_cast<size_t>(size - written - chunk.size());
                size_t cut = room;
                while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) {
                    --cut;
                }
                line.resize(cut);
                line.append(room - cut, ' ');
                if (room > 0) {
                    line.back() = '\n';
                }
            }
            chunk += line;
        }
        DecodeCorpusText(chunk, cps);
        for (size_t i = 0; i < forms.size(); ++i) {
            if (!EncodeCorpusText(forms[i], chunk, cps, encoded)) {
                std::fprintf(stderr, "%s cannot hold the %s corpus\n", forms[i].c_str(),
                             kind.c_str());
                return 1;
            }
            if (std::fwrite(encoded.data(), 1, encoded.size(), files[i]) != encoded.size()) {
                std::perror("write");
                return 1;
            }
        }
        written += chunk.size();
    }
    for (FILE* f : files) {
        if (std::fclose(f) != 0) {
            std::perror("close");
            return 1;
        }
    }
    return 0;
}

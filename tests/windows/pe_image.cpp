#include "tests/windows/pe_image.h"

#include <cstring>

namespace {

// Little-endian reads that refuse to go past the end of the bytes.
struct Reader {
    const std::string& bytes;
    bool ok = true;

    uint32_t Get(size_t offset, size_t width) {
        if (offset > bytes.size() || width > bytes.size() - offset) {
            ok = false;
            return 0;
        }
        uint32_t value = 0;
        for (size_t i = 0; i < width; ++i) {
            value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[offset + i]))
                     << (8 * i);
        }
        return value;
    }
    uint16_t U16(size_t offset) { return static_cast<uint16_t>(Get(offset, 2)); }
    uint32_t U32(size_t offset) { return Get(offset, 4); }
};

struct Section {
    uint32_t virtualAddress;
    uint32_t virtualSize;
    uint32_t rawOffset;
    uint32_t rawSize;
};

// File offset of a relative virtual address, or false when no section holds it on disk.
bool FileOffset(const std::vector<Section>& sections, uint32_t rva, size_t* offset) {
    for (const Section& s : sections) {
        uint32_t extent = s.virtualSize > s.rawSize ? s.virtualSize : s.rawSize;
        if (rva >= s.virtualAddress && rva - s.virtualAddress < extent) {
            uint32_t inside = rva - s.virtualAddress;
            if (inside >= s.rawSize) {
                return false;
            }
            *offset = static_cast<size_t>(s.rawOffset) + inside;
            return true;
        }
    }
    return false;
}

// ASCII view of UTF-16 text; anything else becomes '?'.
std::string Narrow(Reader& r, size_t offset, size_t units) {
    std::string text;
    for (size_t i = 0; i < units && r.ok; ++i) {
        uint16_t unit = r.U16(offset + 2 * i);
        text.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
    }
    return text;
}

bool ReadImports(Reader& r, const std::vector<Section>& sections, uint32_t rva, PeImage* image) {
    if (rva == 0) {
        return true;
    }
    size_t offset = 0;
    if (!FileOffset(sections, rva, &offset)) {
        return false;
    }
    for (;; offset += 20) {
        uint32_t nameRva = r.U32(offset + 12);
        uint32_t firstThunk = r.U32(offset + 16);
        if (!r.ok) {
            return false;
        }
        if (nameRva == 0 && firstThunk == 0) {
            return true;
        }
        size_t nameOffset = 0;
        if (!FileOffset(sections, nameRva, &nameOffset)) {
            return false;
        }
        std::string name;
        for (char c = 0; (c = static_cast<char>(r.Get(nameOffset, 1))) != 0 && r.ok; ++nameOffset) {
            name.push_back(c);
        }
        image->imports.push_back(name);
    }
}

// Walks the three levels of the resource tree (type, name, language).
struct ResourceWalk {
    Reader& r;
    const std::vector<Section>& sections;
    size_t base;  // file offset of the resource directory's root
    PeImage* image;
    int visited = 0;

    ResourceKey Key(uint32_t field) {
        ResourceKey key;
        if ((field & 0x80000000u) == 0) {
            key.id = field;
            return key;
        }
        size_t at = base + (field & 0x7FFFFFFFu);
        key.text = Narrow(r, at + 2, r.U16(at));
        return key;
    }

    bool Directory(size_t offset, int level, PeResource* path) {
        // A malformed tree could point back at itself; our resources are a handful of entries.
        if (++visited > 4096) {
            return false;
        }
        size_t count = static_cast<size_t>(r.U16(offset + 12)) + r.U16(offset + 14);
        for (size_t i = 0; i < count && r.ok; ++i) {
            size_t entry = offset + 16 + 8 * i;
            uint32_t nameField = r.U32(entry);
            uint32_t target = r.U32(entry + 4);
            if (level == 0) {
                path->type = Key(nameField);
            } else if (level == 1) {
                path->name = Key(nameField);
            } else {
                path->language = nameField;
            }
            bool isDirectory = (target & 0x80000000u) != 0;
            if (isDirectory != (level < 2)) {
                return false;
            }
            if (isDirectory) {
                if (!Directory(base + (target & 0x7FFFFFFFu), level + 1, path)) {
                    return false;
                }
                continue;
            }
            size_t dataEntry = base + target;
            uint32_t dataRva = r.U32(dataEntry);
            uint32_t size = r.U32(dataEntry + 4);
            size_t dataOffset = 0;
            if (!r.ok || !FileOffset(sections, dataRva, &dataOffset) ||
                dataOffset + size > r.bytes.size()) {
                return false;
            }
            PeResource resource = *path;
            resource.bytes = r.bytes.substr(dataOffset, size);
            image->resources.push_back(resource);
        }
        return r.ok;
    }
};

}  // namespace

bool ReadPeImage(const std::string& bytes, PeImage* image, std::string* error) {
    *image = PeImage();
    Reader r{bytes};
    if (r.U16(0) != 0x5A4D) {
        *error = "no MZ header";
        return false;
    }
    size_t pe = r.U32(0x3C);
    if (r.U32(pe) != 0x00004550 || !r.ok) {
        *error = "no PE signature";
        return false;
    }
    size_t coff = pe + 4;
    image->machine = r.U16(coff);
    uint16_t sectionCount = r.U16(coff + 2);
    uint16_t optionalSize = r.U16(coff + 16);
    image->coffFlags = r.U16(coff + 18);
    size_t optional = coff + 20;
    image->magic = r.U16(optional);
    size_t directories = 0;
    if (image->magic == 0x10B) {
        directories = optional + 96;
    } else if (image->magic == 0x20B) {
        directories = optional + 112;
    } else {
        *error = "unknown optional header magic";
        return false;
    }
    image->subsystem = r.U16(optional + 68);
    image->dllFlags = r.U16(optional + 70);
    uint32_t directoryCount = r.U32(directories - 4);
    uint32_t importRva = directoryCount > 1 ? r.U32(directories + 8) : 0;
    uint32_t resourceRva = directoryCount > 2 ? r.U32(directories + 16) : 0;

    std::vector<Section> sections;
    size_t table = optional + optionalSize;
    for (uint16_t i = 0; i < sectionCount; ++i) {
        size_t s = table + 40 * i;
        sections.push_back({r.U32(s + 12), r.U32(s + 8), r.U32(s + 20), r.U32(s + 16)});
    }
    if (!r.ok) {
        *error = "headers run past the end of the file";
        return false;
    }
    if (!ReadImports(r, sections, importRva, image)) {
        *error = "malformed import table";
        return false;
    }
    if (resourceRva != 0) {
        size_t base = 0;
        if (!FileOffset(sections, resourceRva, &base)) {
            *error = "resource directory outside every section";
            return false;
        }
        ResourceWalk walk{r, sections, base, image};
        PeResource path;
        if (!walk.Directory(base, 0, &path)) {
            *error = "malformed resource directory";
            return false;
        }
    }
    return true;
}

std::vector<const PeResource*> ResourcesOfType(const PeImage& image, uint32_t type) {
    std::vector<const PeResource*> found;
    for (const PeResource& resource : image.resources) {
        if (resource.type.text.empty() && resource.type.id == type) {
            found.push_back(&resource);
        }
    }
    return found;
}

namespace {

size_t Align4(size_t offset) {
    return (offset + 3) & ~static_cast<size_t>(3);
}

// One node at `offset` (relative to the record's start) no longer than `limit` bytes.
bool ReadNode(Reader& r, size_t offset, size_t limit, VersionNode* node, int depth) {
    size_t length = r.U16(offset);
    size_t valueLength = r.U16(offset + 2);
    uint16_t type = r.U16(offset + 4);
    if (!r.ok || length < 6 || length > limit || depth > 8) {
        return false;
    }
    size_t end = offset + length;
    size_t at = offset + 6;
    while (at + 1 < end && r.U16(at) != 0) {
        node->key.push_back(static_cast<char>(r.U16(at) < 0x80 ? r.U16(at) : '?'));
        at += 2;
    }
    at = Align4(at + 2);
    node->isText = type == 1;
    // Text values count their length in units (the terminator included), binary ones in bytes.
    size_t valueBytes = node->isText ? 2 * valueLength : valueLength;
    if (at + valueBytes > end) {
        return false;
    }
    if (node->isText) {
        node->value = Narrow(r, at, valueLength);
        while (!node->value.empty() && node->value.back() == 0) {
            node->value.pop_back();
        }
    } else {
        node->value = r.bytes.substr(at, valueBytes);
    }
    at = Align4(at + valueBytes);
    while (at < end) {
        VersionNode child;
        if (!ReadNode(r, at, end - at, &child, depth + 1)) {
            return false;
        }
        at = Align4(at + r.U16(at));
        node->children.push_back(child);
    }
    return r.ok;
}

}  // namespace

bool ReadVersionNode(const std::string& bytes, VersionNode* root, std::string* error) {
    *root = VersionNode();
    Reader r{bytes};
    if (!ReadNode(r, 0, bytes.size(), root, 0)) {
        *error = "malformed version record";
        return false;
    }
    return true;
}

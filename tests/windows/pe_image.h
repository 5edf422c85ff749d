// Reading a built Windows program's headers, imports and resources from its bytes, so that tests
// can check what was really built (machine, subsystem, linked DLLs, icon, version record).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A resource's type or name: a number, or a name when `text` is not empty.
struct ResourceKey {
    uint32_t id = 0;
    std::string text;  // names are ASCII in our resources; other units become '?'
};

struct PeResource {
    ResourceKey type;
    ResourceKey name;
    uint32_t language = 0;
    std::string bytes;
};

struct PeImage {
    uint16_t machine = 0;              // 0x8664 x86-64, 0x014C i386
    uint16_t magic = 0;                // 0x20B PE32+, 0x10B PE32
    uint16_t subsystem = 0;            // 2 Windows GUI, 3 console
    uint16_t dllFlags = 0;             // DllCharacteristics
    uint16_t coffFlags = 0;            // Characteristics of the file header
    std::vector<std::string> imports;  // DLL names as written in the import table
    std::vector<PeResource> resources;
};

// Fills `image` from a program's bytes; false with a reason in `error` when they are not a
// well-formed PE image (every offset is checked against the file).
bool ReadPeImage(const std::string& bytes, PeImage* image, std::string* error);

// The resources of one type (a numbered type such as 3 icon, 14 icon group, 16 version).
std::vector<const PeResource*> ResourcesOfType(const PeImage& image, uint32_t type);

// One node of a version record: a key, its value (text for type 1, else raw bytes) and children.
struct VersionNode {
    std::string key;
    bool isText = false;
    std::string value;  // text as ASCII ('?' for other units); raw bytes otherwise
    std::vector<VersionNode> children;
};

// Parses a version resource (VS_VERSIONINFO); false when it is malformed.
bool ReadVersionNode(const std::string& bytes, VersionNode* root, std::string* error);

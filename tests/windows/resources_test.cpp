// What a built Windows program really carries, read from its file: the machine it is for, the
// GUI subsystem, no DLL beyond the system's, the application icon, the version record and the
// application manifest.
// CODESHIFT_PE_FILE names the program, CODESHIFT_FLAVOR says "win64" or "win32".
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>

#include "tests/support/test_files.h"
#include "tests/windows/pe_image.h"
#include "tests/windows/xml_tree.h"

namespace {

constexpr uint32_t kIconType = 3;
constexpr uint32_t kIconGroupType = 14;
constexpr uint32_t kVersionType = 16;
constexpr uint32_t kManifestType = 24;
constexpr uint32_t kProgramManifestId = 1;  // the one Windows reads when it starts a program

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

class BuiltProgram : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        path = Variable("CODESHIFT_PE_FILE");
        flavor = Variable("CODESHIFT_FLAVOR");
        readable = ReadPeImage(ReadBytes(path), &image, &error);
    }
    void SetUp() override { ASSERT_TRUE(readable) << path << ": " << error; }

    static std::string path;
    static std::string flavor;
    static PeImage image;
    static bool readable;
    static std::string error;
};

std::string BuiltProgram::path;
std::string BuiltProgram::flavor;
PeImage BuiltProgram::image;
bool BuiltProgram::readable = false;
std::string BuiltProgram::error;

TEST_F(BuiltProgram, IsForTheFlavorsMachine) {
    if (flavor == "win64") {
        EXPECT_EQ(image.machine, 0x8664) << "x86-64";
        EXPECT_EQ(image.magic, 0x20B) << "PE32+";
    } else {
        ASSERT_EQ(flavor, "win32");
        EXPECT_EQ(image.machine, 0x014C) << "i386";
        EXPECT_EQ(image.magic, 0x10B) << "PE32";
    }
    EXPECT_NE(image.coffFlags & 0x0002, 0) << "marked executable";
    EXPECT_EQ(image.coffFlags & 0x2000, 0) << "a program, not a DLL";
}

TEST_F(BuiltProgram, UsesTheGuiSubsystem) {
    EXPECT_EQ(image.subsystem, 2);
}

TEST_F(BuiltProgram, ImportsOnlyTheSystemsDlls) {
    // What every Windows installation has; the compiler's own runtime DLLs are not among them.
    static const std::set<std::string> kSystem = {
        "kernel32.dll", "user32.dll", "shell32.dll", "advapi32.dll", "msvcrt.dll",
        "ntdll.dll",    "gdi32.dll",  "ole32.dll",   "shlwapi.dll",  "ucrtbase.dll"};
    ASSERT_FALSE(image.imports.empty());
    for (std::string name : image.imports) {
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        bool system = kSystem.count(name) == 1 || name.rfind("api-ms-win-", 0) == 0;
        EXPECT_TRUE(system) << name << " is not part of Windows";
    }
}

struct IconEntry {
    int width;
    int height;
    int bitCount;
    uint32_t bytes;
    uint32_t id;
};

uint32_t Le(const std::string& b, size_t at, size_t width) {
    uint32_t v = 0;
    for (size_t i = 0; i < width && at + i < b.size(); ++i) {
        v |= static_cast<uint32_t>(static_cast<unsigned char>(b[at + i])) << (8 * i);
    }
    return v;
}

// The pixels of a 32-bit icon image (BGRA rows after its header), opaque ones only.
std::vector<uint32_t> OpaquePixels(const std::string& image, int width, int height) {
    std::vector<uint32_t> pixels;
    size_t header = Le(image, 0, 4);
    for (int i = 0; i < width * height; ++i) {
        size_t at = header + 4 * static_cast<size_t>(i);
        if (at + 4 <= image.size() && static_cast<unsigned char>(image[at + 3]) >= 0x80) {
            pixels.push_back(Le(image, at, 3));
        }
    }
    return pixels;
}

TEST_F(BuiltProgram, CarriesTheApplicationIconInSmallAndLargeSizes) {
    std::vector<const PeResource*> groups;
    for (const PeResource* g : ResourcesOfType(image, kIconGroupType)) {
        if (g->name.text == "MAINICON") {
            groups.push_back(g);
        }
    }
    ASSERT_EQ(groups.size(), 1u) << "one icon group named MAINICON";
    const std::string& group = groups[0]->bytes;
    ASSERT_GE(group.size(), 6u);
    EXPECT_EQ(Le(group, 0, 2), 0u);
    EXPECT_EQ(Le(group, 2, 2), 1u) << "an icon, not a cursor";
    size_t count = Le(group, 4, 2);
    ASSERT_EQ(group.size(), 6 + 14 * count);

    std::map<uint32_t, const PeResource*> icons;
    for (const PeResource* icon : ResourcesOfType(image, kIconType)) {
        icons[icon->name.id] = icon;
    }
    std::set<int> sizes;
    for (size_t i = 0; i < count; ++i) {
        size_t at = 6 + 14 * i;
        IconEntry e{static_cast<int>(Le(group, at, 1)), static_cast<int>(Le(group, at + 1, 1)),
                    static_cast<int>(Le(group, at + 6, 2)), Le(group, at + 8, 4),
                    Le(group, at + 12, 2)};
        int edge = e.width == 0 ? 256 : e.width;
        SCOPED_TRACE(std::to_string(edge) + " pixels");
        ASSERT_EQ(icons.count(e.id), 1u) << "the group names an icon that is not there";
        const std::string& data = icons[e.id]->bytes;
        EXPECT_EQ(data.size(), e.bytes);
        if (data.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0) {
            uint32_t pngWidth = 0;
            for (int k = 0; k < 4; ++k) {
                pngWidth = (pngWidth << 8) | static_cast<unsigned char>(data[16 + k]);
            }
            EXPECT_EQ(static_cast<int>(pngWidth), edge);
            sizes.insert(edge);
            continue;
        }
        ASSERT_EQ(Le(data, 0, 4), 40u) << "a bitmap image";
        EXPECT_EQ(static_cast<int>(Le(data, 4, 4)), edge);
        EXPECT_EQ(static_cast<int>(Le(data, 8, 4)), 2 * edge) << "colour and mask";
        ASSERT_EQ(Le(data, 14, 2), 32u);
        // A real picture: mostly covered, in several colours, with see-through corners.
        std::vector<uint32_t> opaque = OpaquePixels(data, edge, edge);
        std::set<uint32_t> colours(opaque.begin(), opaque.end());
        EXPECT_GE(opaque.size(), static_cast<size_t>(edge * edge / 3));
        EXPECT_LT(opaque.size(), static_cast<size_t>(edge * edge));
        EXPECT_GE(colours.size(), 4u);
        sizes.insert(edge);
    }
    for (int wanted : {16, 32, 48}) {
        EXPECT_EQ(sizes.count(wanted), 1u) << "no " << wanted << "-pixel image";
    }
}

const VersionNode* Child(const VersionNode& node, const std::string& key) {
    for (const VersionNode& c : node.children) {
        if (c.key == key) {
            return &c;
        }
    }
    return nullptr;
}

TEST_F(BuiltProgram, CarriesVersionOneTwoOne) {
    std::vector<const PeResource*> versions = ResourcesOfType(image, kVersionType);
    ASSERT_EQ(versions.size(), 1u);
    VersionNode root;
    std::string why;
    ASSERT_TRUE(ReadVersionNode(versions[0]->bytes, &root, &why)) << why;
    EXPECT_EQ(root.key, "VS_VERSION_INFO");

    const std::string& fixed = root.value;
    ASSERT_EQ(fixed.size(), 52u);
    EXPECT_EQ(Le(fixed, 0, 4), 0xFEEF04BDu);
    EXPECT_EQ(Le(fixed, 8, 4), (1u << 16) | 2u) << "file version 1.2";
    EXPECT_EQ(Le(fixed, 12, 4), 1u << 16) << "file version .1.0";
    EXPECT_EQ(Le(fixed, 16, 4), (1u << 16) | 2u) << "product version 1.2";
    EXPECT_EQ(Le(fixed, 20, 4), 1u << 16) << "product version .1.0";
    EXPECT_EQ(Le(fixed, 36, 4), 1u) << "an application";

    const VersionNode* strings = Child(root, "StringFileInfo");
    ASSERT_NE(strings, nullptr);
    ASSERT_FALSE(strings->children.empty());
    const VersionNode& table = strings->children[0];
    std::map<std::string, std::string> values;
    for (const VersionNode& entry : table.children) {
        EXPECT_TRUE(entry.isText) << entry.key;
        values[entry.key] = entry.value;
    }
    EXPECT_EQ(values["FileVersion"], "1.2.1");
    EXPECT_EQ(values["ProductVersion"], "1.2.1");
    EXPECT_EQ(values["OriginalFilename"], std::filesystem::path(path).filename().string());
    EXPECT_NE(Child(root, "VarFileInfo"), nullptr);
}

const std::string kAsmV1 = "urn:schemas-microsoft-com:asm.v1|";
const std::string kAsmV3 = "urn:schemas-microsoft-com:asm.v3|";
const std::string kCompatibility = "urn:schemas-microsoft-com:compatibility.v1|";
const std::string kSettings2016 = "http://schemas.microsoft.com/SMI/2016/WindowsSettings|";

// Windows takes an element only in its own namespace and place; one anywhere else is ignored,
// and a document that is not well-formed stops the program from starting at all.
TEST_F(BuiltProgram, CarriesItsApplicationManifest) {
    std::vector<const PeResource*> manifests = ResourcesOfType(image, kManifestType);
    ASSERT_EQ(manifests.size(), 1u);
    EXPECT_EQ(manifests[0]->name.id, kProgramManifestId);
    EXPECT_TRUE(manifests[0]->name.text.empty());
    XmlElement root;
    std::string why;
    ASSERT_TRUE(ReadXml(manifests[0]->bytes, &root, &why)) << why;
    EXPECT_EQ(root.name, kAsmV1 + "assembly");
    EXPECT_EQ(root.attributes["manifestVersion"], "1.0");

    // Started with the caller's rights: never an elevation prompt.
    std::vector<const XmlElement*> levels =
        XmlElementsAt(root, {kAsmV3 + "trustInfo", kAsmV3 + "security",
                             kAsmV3 + "requestedPrivileges", kAsmV3 + "requestedExecutionLevel"});
    ASSERT_EQ(levels.size(), 1u);
    std::map<std::string, std::string> level = levels[0]->attributes;
    EXPECT_EQ(level["level"], "asInvoker");
    EXPECT_TRUE(level.count("uiAccess") == 0 || level["uiAccess"] == "false");

    // Written for every Windows from Vista to 11.
    std::set<std::string> systems;
    for (const XmlElement* os :
         XmlElementsAt(root, {kCompatibility + "compatibility", kCompatibility + "application",
                              kCompatibility + "supportedOS"})) {
        systems.insert(os->attributes.count("Id") == 1 ? os->attributes.at("Id") : "");
    }
    EXPECT_EQ(systems, (std::set<std::string>{
                           "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  // Vista
                           "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // 7
                           "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // 8
                           "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // 8.1
                           "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // 10 and 11
                       }));

    std::vector<const XmlElement*> longPaths = XmlElementsAt(
        root,
        {kAsmV3 + "application", kAsmV3 + "windowsSettings", kSettings2016 + "longPathAware"});
    ASSERT_EQ(longPaths.size(), 1u);
    EXPECT_EQ(longPaths[0]->text, "true");

    // The ANSI, OEM and Macintosh pages stay the system's.
    EXPECT_TRUE(XmlElementsNamed(root, "activeCodePage").empty());
}

}  // namespace

// A missing program skips (77) unless the Windows builds are required.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    std::string file = Variable("CODESHIFT_PE_FILE");
    if (file.empty() || !FileExists(file)) {
        std::printf("no Windows program at \"%s\": build its preset first\n", file.c_str());
        return Variable("CODESHIFT_WINDOWS_REQUIRED") == "1" ? 1 : 77;
    }
    return RUN_ALL_TESTS();
}

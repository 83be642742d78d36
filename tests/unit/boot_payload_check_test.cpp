// The payload check on the tests' payload (the real boot-sector file and loader, a floppy
// image with stand-ins for DOS and Ghost) and on copies of it with one duty broken each.
#include "staging/boot_payload_check.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace korvane {
namespace {

std::string ReadWhole(std::string path) {
#ifdef _WIN32
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    if (!path.empty() && path[0] == '\\') {
        path = "Z:" + path;  // Wine reaches the build folder through Z:
    }
#endif
    std::string bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        return bytes;
    }
    char chunk[65536];
    size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof(chunk), file)) > 0) {
        bytes.append(chunk, n);
    }
    std::fclose(file);
    return bytes;
}

// Offset of the root-folder entry of an 8.3 name; the names occur nowhere else in the image.
size_t EntryOf(const std::string& image, const char* name83) {
    size_t at = image.find(std::string(name83, 11));
    EXPECT_NE(at, std::string::npos) << name83;
    return at;
}

void SetLe16(std::string& bytes, size_t at, unsigned value) {
    bytes[at] = static_cast<char>(value & 0xFF);
    bytes[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

void SetLe32(std::string& bytes, size_t at, unsigned value) {
    SetLe16(bytes, at, value & 0xFFFF);
    SetLe16(bytes, at + 2, value >> 16);
}

class PayloadCheck : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string folder = KORVANE_TEST_PAYLOAD_DIR;
        bootSector = ReadWhole(folder + "/krldr.mbr");
        loader = ReadWhole(folder + "/krldr");
        image = ReadWhole(folder + "/krldr.ima");
        ASSERT_FALSE(bootSector.empty() || loader.empty() || image.empty());
    }

    PayloadFault Check() const { return CheckBootPayload({bootSector, loader, image}); }

    // Every occurrence, letters of any case.
    void ReplaceAll(std::string& bytes, const std::string& from, const std::string& to) {
        auto lower = [](std::string text) {
            for (char& c : text) {
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
            return text;
        };
        const std::string wanted = lower(from);
        const std::string lowered = lower(bytes);
        int replaced = 0;
        for (size_t at = lowered.find(wanted); at != std::string::npos;
             at = lowered.find(wanted, at + 1)) {
            bytes.replace(at, from.size(), to);
            ++replaced;
        }
        ASSERT_GT(replaced, 0) << from;
    }

    std::string bootSector;
    std::string loader;
    std::string image;
};

TEST_F(PayloadCheck, TheRealLoaderFilesWithStandInDosPass) {
    EXPECT_EQ(Check(), PayloadFault::kNone);
    EXPECT_EQ(DescribePayloadFault(PayloadFault::kNone), L"");
}

#ifdef KORVANE_SHIPPED_PAYLOAD_DIR
// Built without a packager's DOS and Ghost, the program's floppy image holds only our script.
TEST_F(PayloadCheck, TheProgramsPayloadWithoutDosAndGhostIsRefused) {
    std::string folder = KORVANE_SHIPPED_PAYLOAD_DIR;
    std::string shippedSector = ReadWhole(folder + "/krldr.mbr");
    std::string shippedLoader = ReadWhole(folder + "/krldr");
    std::string shippedImage = ReadWhole(folder + "/krldr.ima");
    ASSERT_FALSE(shippedSector.empty() || shippedLoader.empty() || shippedImage.empty());
    EXPECT_EQ(CheckBootPayload({shippedSector, shippedLoader, image}), PayloadFault::kNone)
        << "the boot-sector file and the loader are the real ones";
    EXPECT_EQ(CheckBootPayload({shippedSector, shippedLoader, shippedImage}),
              PayloadFault::kImageHasNoDosSystem);
}
#endif

TEST_F(PayloadCheck, BootSectorFileMustBeABootRecordThatSearchesForTheLoader) {
    std::string original = bootSector;
    ReplaceAll(bootSector, "KRLDR      ", "G2LDR      ");
    EXPECT_EQ(Check(), PayloadFault::kBootSectorDoesNotSearchLoader) << "FAT name";

    bootSector = original;
    ReplaceAll(bootSector, std::string("krldr\0", 6), std::string("g2ldr\0", 6));
    EXPECT_EQ(Check(), PayloadFault::kBootSectorDoesNotSearchLoader) << "NTFS name";

    bootSector = original;
    bootSector[511] = 0;
    EXPECT_EQ(Check(), PayloadFault::kBootSectorNotABootRecord) << "no 55 AA";

    bootSector = original.substr(0, original.size() - 1);
    EXPECT_EQ(Check(), PayloadFault::kBootSectorNotABootRecord) << "not whole sectors";

    bootSector = "";
    EXPECT_EQ(Check(), PayloadFault::kBootSectorNotABootRecord);
    EXPECT_FALSE(DescribePayloadFault(PayloadFault::kBootSectorNotABootRecord).empty());
}

TEST_F(PayloadCheck, LoaderMustBeAGrubHeaderWithItsCoreImage) {
    std::string original = loader;
    loader[510] = 0;
    EXPECT_EQ(Check(), PayloadFault::kLoaderNotABootRecord);

    loader = original;
    loader[1024] = static_cast<char>(0xE9);
    EXPECT_EQ(Check(), PayloadFault::kLoaderHasNoGrubCore) << "no far jump";

    loader = original;
    SetLe16(loader, 1025, 0x7C00);
    EXPECT_EQ(Check(), PayloadFault::kLoaderHasNoGrubCore) << "jumps elsewhere";

    loader = original;
    SetLe32(loader, 1024 + 8, 0);
    EXPECT_EQ(Check(), PayloadFault::kLoaderHasNoGrubCore) << "no compressed kernel";

    loader = original.substr(0, original.size() - 600);
    EXPECT_EQ(Check(), PayloadFault::kLoaderHasNoGrubCore) << "cut short";

    loader = original + std::string(600, '\0');
    EXPECT_EQ(Check(), PayloadFault::kLoaderHasNoGrubCore) << "something appended";

    loader = original.substr(0, 1030);
    EXPECT_EQ(Check(), PayloadFault::kLoaderNotABootRecord) << "too short for a core";
}

TEST_F(PayloadCheck, FloppyImageMustBeABootableFatVolume) {
    std::string original = image;
    image[0] = 0;
    EXPECT_EQ(Check(), PayloadFault::kImageNotFat) << "no jump";

    image = original;
    image[510] = 0;
    EXPECT_EQ(Check(), PayloadFault::kImageNotFat) << "no 55 AA";

    image = original;
    SetLe16(image, 22, 0);
    EXPECT_EQ(Check(), PayloadFault::kImageNotFat) << "FAT32 layout";

    image = original;
    SetLe16(image, 11, 2048);
    EXPECT_EQ(Check(), PayloadFault::kImageNotFat) << "sector size";

    image = original.substr(0, original.size() / 2);
    EXPECT_EQ(Check(), PayloadFault::kImageNotFat) << "cut short";

    image = std::string(1474560, 'x');
    EXPECT_EQ(Check(), PayloadFault::kImageNotFat);
}

TEST_F(PayloadCheck, FloppyImageMustHoldDosItsShellOurScriptAndGhost) {
    struct Case {
        const char* name;
        PayloadFault fault;
    };
    const Case missing[] = {{"KERNEL  SYS", PayloadFault::kImageHasNoDosSystem},
                            {"COMMAND COM", PayloadFault::kImageHasNoCommandInterpreter},
                            {"AUTOEXECBAT", PayloadFault::kImageHasNoStartupScript},
                            {"GHOST   EXE", PayloadFault::kImageHasNoGhost}};
    const std::string original = image;
    for (const Case& c : missing) {
        SCOPED_TRACE(c.name);
        image = original;
        image[EntryOf(image, c.name)] = static_cast<char>(0xE5);  // deleted
        EXPECT_EQ(Check(), c.fault);

        image = original;
        image[EntryOf(image, c.name) + 11] = 0x10;  // a folder of that name
        EXPECT_EQ(Check(), c.fault);

        image = original;
        SetLe32(image, EntryOf(image, c.name) + 28, 0);  // empty
        EXPECT_EQ(Check(), c.fault);

        image = original;
        SetLe16(image, EntryOf(image, c.name) + 26, 0xFFF0);  // outside the volume
        EXPECT_EQ(Check(), c.fault);
    }

    // Other DOS systems name their kernel file differently.
    for (const char* system : {"IO      SYS", "IBMBIO  COM"}) {
        image = original;
        image.replace(EntryOf(image, "KERNEL  SYS"), 11, system);
        EXPECT_EQ(Check(), PayloadFault::kNone) << system;
    }
}

TEST_F(PayloadCheck, StartUpScriptMustRunTheStagedBatch) {
    const std::string original = image;
    image = ReadWhole(std::string(KORVANE_TEST_PAYLOAD_DIR) + "/foreign-script.ima");
    ASSERT_FALSE(image.empty());
    EXPECT_EQ(Check(), PayloadFault::kImageStartupScriptIsNotOurs);
    EXPECT_FALSE(DescribePayloadFault(PayloadFault::kImageStartupScriptIsNotOurs).empty());

    image = original;
    ReplaceAll(image, "ghost.ba_", "ghost.xx_");
    EXPECT_EQ(Check(), PayloadFault::kImageStartupScriptIsNotOurs);

    // A script whose cluster chain comes back to its first cluster (FAT16: two bytes a
    // cluster, after one reserved sector).
    image = original;
    size_t entry = EntryOf(image, "AUTOEXECBAT");
    SetLe32(image, entry + 28, 5000);
    unsigned cluster = static_cast<unsigned char>(image[entry + 26]) |
                       (static_cast<unsigned char>(image[entry + 27]) << 8);
    SetLe16(image, 512 + cluster * 2, cluster);
    EXPECT_EQ(Check(), PayloadFault::kImageHasNoStartupScript);
}

}  // namespace
}  // namespace korvane

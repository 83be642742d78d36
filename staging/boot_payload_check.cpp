#include "staging/boot_payload_check.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <optional>
#include <vector>

namespace korvane {

namespace {

constexpr size_t kSector = 512;

uint32_t Le16(std::string_view bytes, size_t at) {
    return static_cast<unsigned char>(bytes[at]) |
           (static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8);
}

uint32_t Le32(std::string_view bytes, size_t at) {
    return Le16(bytes, at) | (Le16(bytes, at + 2) << 16);
}

unsigned char Byte(std::string_view bytes, size_t at) {
    return static_cast<unsigned char>(bytes[at]);
}

// A first sector that the firmware or a chain loader would start: it ends with 55 AA.
bool HasBootSignature(std::string_view bytes) {
    return bytes.size() >= kSector && Byte(bytes, 510) == 0x55 && Byte(bytes, 511) == 0xAA;
}

bool Contains(std::string_view bytes, std::string_view text) {
    return bytes.find(text) != std::string_view::npos;
}

// The boot-sector file looks for the loader by its FAT 8.3 name (blank-padded) and by its
// NTFS name; without both it cannot find the loader on one of the two kinds of volume.
PayloadFault CheckBootSector(std::string_view file) {
    if (file.size() < 2 * kSector || file.size() % kSector != 0 || !HasBootSignature(file)) {
        return PayloadFault::kBootSectorNotABootRecord;
    }
    using namespace std::string_view_literals;
    if (!Contains(file, "KRLDR      "sv) || !Contains(file, "krldr\0"sv)) {
        return PayloadFault::kBootSectorDoesNotSearchLoader;
    }
    return PayloadFault::kNone;
}

// The loader is a GRUB header sector (which the boot-sector file jumps into) followed by a
// GRUB core image: its disk-boot sector, whose block list ends with the number of sectors
// that follow it, then the decompressor, which starts with a far jump into the kernel's
// load address (0:0x82xx) and records the size of the compressed kernel after it. A loader
// cut short or padded fails the sector count.
PayloadFault CheckLoader(std::string_view file) {
    constexpr size_t kDiskBoot = kSector;
    constexpr size_t kDecompressor = 2 * kSector;
    if (file.size() < kDecompressor + 16 || !HasBootSignature(file)) {
        return PayloadFault::kLoaderNotABootRecord;
    }
    uint64_t coreSectors = Le16(file, kDiskBoot + 0x1FC);
    uint64_t coreBytes = file.size() - kDecompressor;
    bool wholeCore = coreSectors > 0 && (coreSectors - 1) * kSector < coreBytes &&
                     coreBytes <= coreSectors * kSector;
    uint32_t jumpOffset = Le16(file, kDecompressor + 1);
    uint32_t jumpSegment = Le16(file, kDecompressor + 3);
    uint32_t compressedSize = Le32(file, kDecompressor + 8);
    bool farJumpIntoKernel = Byte(file, kDecompressor) == 0xEA && jumpSegment == 0 &&
                             jumpOffset >= 0x8200 && jumpOffset < 0x8400;
    if (!wholeCore || !farJumpIntoKernel || compressedSize == 0 || compressedSize >= coreBytes) {
        return PayloadFault::kLoaderHasNoGrubCore;
    }
    return PayloadFault::kNone;
}

// A FAT12/FAT16 volume without a partition table, as a floppy is: just enough of it to
// find and read the files of its root folder.
class FatImage {
  public:
    static std::optional<FatImage> Open(std::string_view image);

    struct File {
        uint32_t firstCluster;
        uint32_t size;
    };
    // A file of the root folder by its 8.3 name ("COMMAND COM"); folders, labels, long-name
    // parts and deleted entries are not files.
    std::optional<File> Find(std::string_view name83) const;
    // The file's bytes by its cluster chain; empty when the chain leaves the volume.
    std::string Read(const File& file) const;

  private:
    std::optional<uint32_t> NextCluster(uint32_t cluster) const;
    bool ChainFits(const File& file) const { return !Read(file).empty(); }

    std::string_view image_;
    size_t fatOffset_ = 0;
    size_t rootOffset_ = 0;
    size_t rootEntries_ = 0;
    size_t dataOffset_ = 0;
    size_t clusterBytes_ = 0;
    uint32_t clusters_ = 0;
    bool fat12_ = false;
};

std::optional<FatImage> FatImage::Open(std::string_view image) {
    if (!HasBootSignature(image)) {
        return std::nullopt;
    }
    bool jumps = Byte(image, 0) == 0xE9 || (Byte(image, 0) == 0xEB && Byte(image, 2) == 0x90);
    uint32_t sectorBytes = Le16(image, 11);
    uint32_t perCluster = Byte(image, 13);
    uint32_t reserved = Le16(image, 14);
    uint32_t fats = Byte(image, 16);
    uint32_t rootEntries = Le16(image, 17);
    uint32_t sectors = Le16(image, 19) ? Le16(image, 19) : Le32(image, 32);
    uint32_t fatSectors = Le16(image, 22);  // 0 on FAT32, which no floppy image is
    bool powerOfTwo = perCluster != 0 && (perCluster & (perCluster - 1)) == 0;
    if (!jumps || sectorBytes != kSector || !powerOfTwo || reserved == 0 || fats == 0 || fats > 2 ||
        rootEntries == 0 || fatSectors == 0 ||
        static_cast<uint64_t>(sectors) * kSector > image.size()) {
        return std::nullopt;
    }
    FatImage fat;
    fat.image_ = image.substr(0, static_cast<size_t>(sectors) * kSector);
    fat.fatOffset_ = static_cast<size_t>(reserved) * kSector;
    fat.rootOffset_ = fat.fatOffset_ + static_cast<size_t>(fats) * fatSectors * kSector;
    fat.rootEntries_ = rootEntries;
    size_t rootSectors = (rootEntries * 32 + kSector - 1) / kSector;
    fat.dataOffset_ = fat.rootOffset_ + rootSectors * kSector;
    fat.clusterBytes_ = perCluster * kSector;
    if (fat.dataOffset_ >= fat.image_.size()) {
        return std::nullopt;
    }
    uint64_t clusters = (fat.image_.size() - fat.dataOffset_) / fat.clusterBytes_;
    if (clusters == 0 || clusters >= 65525) {
        return std::nullopt;
    }
    fat.clusters_ = static_cast<uint32_t>(clusters);
    fat.fat12_ = clusters < 4085;
    size_t fatBytes = fat.fat12_ ? (clusters + 2) * 3 / 2 + 1 : (clusters + 2) * 2;
    if (fatBytes > static_cast<size_t>(fatSectors) * kSector) {
        return std::nullopt;
    }
    return fat;
}

std::optional<FatImage::File> FatImage::Find(std::string_view name83) const {
    for (size_t i = 0; i < rootEntries_; ++i) {
        std::string_view entry = image_.substr(rootOffset_ + i * 32, 32);
        unsigned char first = Byte(entry, 0);
        if (first == 0x00) {
            break;  // the end of the folder
        }
        unsigned char attributes = Byte(entry, 11);
        bool notAFile = first == 0xE5 || attributes == 0x0F || (attributes & 0x18) != 0;
        if (notAFile || entry.substr(0, 11) != name83) {
            continue;
        }
        File file{Le16(entry, 26), Le32(entry, 28)};
        if (file.size == 0 || !ChainFits(file)) {
            return std::nullopt;
        }
        return file;
    }
    return std::nullopt;
}

std::optional<uint32_t> FatImage::NextCluster(uint32_t cluster) const {
    if (fat12_) {
        size_t at = fatOffset_ + cluster * 3 / 2;
        uint32_t pair = Le16(image_, at);
        uint32_t next = (cluster & 1) ? pair >> 4 : pair & 0xFFF;
        return next >= 0xFF8 ? std::nullopt : std::optional<uint32_t>(next);
    }
    uint32_t next = Le16(image_, fatOffset_ + cluster * 2);
    return next >= 0xFFF8 ? std::nullopt : std::optional<uint32_t>(next);
}

std::string FatImage::Read(const File& file) const {
    std::string bytes;
    std::vector<bool> visited(clusters_ + 2, false);
    uint32_t cluster = file.firstCluster;
    // A chain that leaves the volume or comes back to a cluster it used is broken.
    while (bytes.size() < file.size) {
        if (cluster < 2 || cluster >= clusters_ + 2 || visited[cluster]) {
            return std::string();
        }
        visited[cluster] = true;
        size_t offset = dataOffset_ + static_cast<size_t>(cluster - 2) * clusterBytes_;
        size_t take = std::min<size_t>(clusterBytes_, file.size - bytes.size());
        bytes.append(image_.substr(offset, take));
        if (bytes.size() == file.size) {
            break;
        }
        std::optional<uint32_t> next = NextCluster(cluster);
        if (!next) {
            return std::string();
        }
        cluster = *next;
    }
    return bytes;
}

std::string Lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

PayloadFault CheckFloppyImage(std::string_view file) {
    std::optional<FatImage> image = FatImage::Open(file);
    if (!image) {
        return PayloadFault::kImageNotFat;
    }
    // MS-DOS and Windows 9x start IO.SYS, FreeDOS KERNEL.SYS, PC DOS and DR-DOS IBMBIO.COM.
    if (!image->Find("IO      SYS") && !image->Find("KERNEL  SYS") && !image->Find("IBMBIO  COM")) {
        return PayloadFault::kImageHasNoDosSystem;
    }
    if (!image->Find("COMMAND COM")) {
        return PayloadFault::kImageHasNoCommandInterpreter;
    }
    std::optional<FatImage::File> script = image->Find("AUTOEXECBAT");
    if (!script) {
        return PayloadFault::kImageHasNoStartupScript;
    }
    // Ours takes the batch the job staged and runs it; any other start-up script would
    // leave the one-time entry behind as the default.
    std::string text = Lowered(image->Read(*script));
    if (!Contains(text, "ghost.ba_") || !Contains(text, "ghost.bat")) {
        return PayloadFault::kImageStartupScriptIsNotOurs;
    }
    if (!image->Find("GHOST   EXE")) {
        return PayloadFault::kImageHasNoGhost;
    }
    return PayloadFault::kNone;
}

}  // namespace

PayloadFault CheckBootPayload(const BootPayload& payload) {
    for (PayloadFault fault : {CheckBootSector(payload.bootSector), CheckLoader(payload.loader),
                               CheckFloppyImage(payload.floppyImage)}) {
        if (fault != PayloadFault::kNone) {
            return fault;
        }
    }
    return PayloadFault::kNone;
}

std::wstring DescribePayloadFault(PayloadFault fault) {
    switch (fault) {
        case PayloadFault::kNone:
            return L"";
        case PayloadFault::kBootSectorNotABootRecord:
            return L"krldr.mbr 不是启动扇区文件";
        case PayloadFault::kBootSectorDoesNotSearchLoader:
            return L"krldr.mbr 不查找引导程序 KRLDR/krldr";
        case PayloadFault::kLoaderNotABootRecord:
            return L"krldr 不是引导程序";
        case PayloadFault::kLoaderHasNoGrubCore:
            return L"krldr 不含 GRUB 引导核心";
        case PayloadFault::kImageNotFat:
            return L"krldr.ima 不是可启动的 FAT 软盘映像";
        case PayloadFault::kImageHasNoDosSystem:
            return L"krldr.ima 中没有 DOS 系统文件";
        case PayloadFault::kImageHasNoCommandInterpreter:
            return L"krldr.ima 中没有命令解释器 COMMAND.COM";
        case PayloadFault::kImageHasNoStartupScript:
            return L"krldr.ima 中没有启动脚本 AUTOEXEC.BAT";
        case PayloadFault::kImageStartupScriptIsNotOurs:
            return L"krldr.ima 的启动脚本不执行 ghost.ba_";
        case PayloadFault::kImageHasNoGhost:
            return L"krldr.ima 中没有 GHOST.EXE";
    }
    return L"";
}

}  // namespace korvane

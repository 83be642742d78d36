#include "sysutil/drive_queries.h"

#include <cstddef>
#include <cstring>
#include <cwchar>
#include <cwctype>

#include "sysutil/unique_handle.h"

namespace korvane {

bool DescriptorShowsUsb(bool querySucceeded, DWORD bytesReturned,
                        const STORAGE_DEVICE_DESCRIPTOR& descriptor) {
    constexpr DWORD kThroughBusType =
        offsetof(STORAGE_DEVICE_DESCRIPTOR, BusType) + sizeof(descriptor.BusType);
    return querySucceeded && bytesReturned >= kThroughBusType && descriptor.BusType == BusTypeUsb;
}

bool IsUsbDrive(const std::wstring& drive) {
    std::wstring device = L"\\\\.\\" + drive;
    UniqueHandle volume(CreateFileW(device.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!volume.IsValid()) {
        return false;
    }
    STORAGE_PROPERTY_QUERY query = {};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    alignas(8) unsigned char buffer[1024] = {};
    DWORD returned = 0;
    bool queried = DeviceIoControl(volume.Get(), IOCTL_STORAGE_QUERY_PROPERTY, &query, 12, buffer,
                                   sizeof(buffer), &returned, nullptr) != FALSE;
    return DescriptorShowsUsb(queried, returned,
                              *reinterpret_cast<const STORAGE_DEVICE_DESCRIPTOR*>(buffer));
}

std::wstring GetGhostPartitionId(const std::wstring& drive) {
    std::wstring device = L"\\\\?\\" + drive;
    UniqueHandle volume(CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                    nullptr));
    if (!volume.IsValid()) {
        return std::wstring();
    }
    STORAGE_DEVICE_NUMBER number = {};
    DWORD returned = 0;
    if (!DeviceIoControl(volume.Get(), IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &number,
                         sizeof(number), &returned, nullptr) ||
        returned < sizeof(number)) {
        return std::wstring();
    }
    wchar_t text[32] = {};
    swprintf(text, 32, L"%lu:%lu", static_cast<unsigned long>(number.DeviceNumber + 1),
             static_cast<unsigned long>(number.PartitionNumber));
    return text;
}

bool BootSectorShowsBitLocker(const unsigned char* sector, size_t size) {
    constexpr char kSignature[] = "-FVE-FS-";
    constexpr size_t kAt = 3;
    constexpr size_t kLength = sizeof(kSignature) - 1;
    return size >= kAt + kLength && memcmp(sector + kAt, kSignature, kLength) == 0;
}

namespace {

constexpr DWORD kSectorBytes = 512;

// The first sector at offset of a device opened for reading; false when it cannot be read.
bool ReadSectorAt(const std::wstring& device, LONGLONG offset, unsigned char* sector) {
    UniqueHandle file(CreateFileW(device.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.IsValid()) {
        return false;
    }
    LARGE_INTEGER at;
    at.QuadPart = offset;
    DWORD read = 0;
    return SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN) &&
           ReadFile(file.Get(), sector, kSectorBytes, &read, nullptr) && read == kSectorBytes;
}

// The disk number and starting offset of the drive's partition.
bool PartitionPlace(const std::wstring& drive, DWORD* disk, LONGLONG* offset) {
    UniqueHandle volume(CreateFileW((L"\\\\.\\" + drive).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                    nullptr));
    if (!volume.IsValid()) {
        return false;
    }
    STORAGE_DEVICE_NUMBER number = {};
    PARTITION_INFORMATION_EX partition = {};
    DWORD returned = 0;
    if (!DeviceIoControl(volume.Get(), IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &number,
                         sizeof(number), &returned, nullptr) ||
        !DeviceIoControl(volume.Get(), IOCTL_DISK_GET_PARTITION_INFO_EX, nullptr, 0, &partition,
                         sizeof(partition), &returned, nullptr)) {
        return false;
    }
    *disk = number.DeviceNumber;
    *offset = partition.StartingOffset.QuadPart;
    return true;
}

}  // namespace

bool IsBitLockerVolume(const std::wstring& drive) {
    alignas(8) unsigned char sector[kSectorBytes] = {};
    if (ReadSectorAt(L"\\\\.\\" + drive, 0, sector) &&
        BootSectorShowsBitLocker(sector, sizeof(sector))) {
        return true;
    }
    DWORD disk = 0;
    LONGLONG offset = 0;
    return PartitionPlace(drive, &disk, &offset) &&
           ReadSectorAt(L"\\\\.\\PhysicalDrive" + std::to_wstring(disk), offset, sector) &&
           BootSectorShowsBitLocker(sector, sizeof(sector));
}

bool GetVolumeSpace(const std::wstring& drive, uint64_t* freeBytes, uint64_t* usedBytes) {
    ULARGE_INTEGER available = {}, total = {}, totalFree = {};
    if (!GetDiskFreeSpaceExW((drive + L"\\").c_str(), &available, &total, &totalFree)) {
        return false;
    }
    *freeBytes = available.QuadPart;
    *usedBytes = total.QuadPart - totalFree.QuadPart;
    return true;
}

std::wstring UnderlyingDrive(const std::wstring& drive) {
    wchar_t target[MAX_PATH + 8] = {};
    if (drive.size() != 2 || !QueryDosDeviceW(drive.c_str(), target, MAX_PATH + 8)) {
        return drive;
    }
    // A substituted drive answers "\??\C:\dir".
    const std::wstring text = target;
    if (text.size() >= 6 && text.compare(0, 4, L"\\??\\") == 0 && iswalpha(text[4]) &&
        text[5] == L':') {
        return text.substr(4, 2);
    }
    return drive;
}

bool SystemDriveSource::ListRoots(std::vector<std::wstring>* roots) {
    DWORD n = GetLogicalDriveStringsW(0, nullptr);
    if (n == 0) {
        return false;
    }
    std::wstring list(n + 2, L'\0');
    if (GetLogicalDriveStringsW(n + 2, list.data()) != n - 1) {
        return false;
    }
    roots->clear();
    for (const wchar_t* p = list.c_str(); *p; p += wcslen(p) + 1) {
        roots->push_back(p);
    }
    return true;
}

UINT SystemDriveSource::DriveType(const std::wstring& root) {
    return GetDriveTypeW(root.c_str());
}

bool SystemDriveSource::IsUsb(const std::wstring& drive) {
    return IsUsbDrive(drive);
}

uint64_t SystemDriveSource::FreeBytes(const std::wstring& root) {
    ULARGE_INTEGER available = {};
    ULARGE_INTEGER total = {};
    ULARGE_INTEGER totalFree = {};
    if (!GetDiskFreeSpaceExW(root.c_str(), &available, &total, &totalFree)) {
        return 0;
    }
    return totalFree.QuadPart;
}

std::wstring FindLargestDataDrive(DriveSource& drives) {
    std::vector<std::wstring> roots;
    if (!drives.ListRoots(&roots) || roots.empty()) {
        return std::wstring();
    }

    std::wstring best;
    uint64_t bestFree = 0;
    const std::wstring& first = roots.front();
    bool firstIsA = first.size() >= 2 && std::towupper(first[0]) == L'A' && first[1] == L':';
    if (!firstIsA) {
        best = first;
        bestFree = drives.FreeBytes(first);
    }

    for (size_t i = 1; i < roots.size(); ++i) {
        const std::wstring& root = roots[i];
        if (drives.DriveType(root) != DRIVE_FIXED) {
            continue;
        }
        std::wstring drive = root.substr(0, 2);
        if (drive.empty() || drives.IsUsb(drive)) {
            continue;
        }
        uint64_t free = drives.FreeBytes(root);
        if (free > bestFree) {
            best = root;
            bestFree = free;
        }
    }
    return best;
}

std::wstring FindLargestDataDrive() {
    SystemDriveSource drives;
    return FindLargestDataDrive(drives);
}

}  // namespace korvane

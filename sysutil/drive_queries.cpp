#include "sysutil/drive_queries.h"

#include <cstddef>
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

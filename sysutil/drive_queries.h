// Questions about drives: storage bus, Ghost's name for a partition, and the fixed
// drive with the most free space.
#pragma once

#include <windows.h>
#include <winioctl.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace korvane {

// True when the drive ("D:") sits on a USB bus; false when it cannot be asked.
bool IsUsbDrive(const std::wstring& drive);

// The verdict on a storage-property query: only a query that succeeded and returned at
// least as far as the bus type counts; anything else answers false.
bool DescriptorShowsUsb(bool querySucceeded, DWORD bytesReturned,
                        const STORAGE_DEVICE_DESCRIPTOR& descriptor);

// Ghost's designator of the volume ("C:" -> "1:2": disk counted from 1, partition as
// Windows numbers it). Empty when the volume cannot be opened or asked.
std::wstring GetGhostPartitionId(const std::wstring& drive);

// True when a volume's first sector carries BitLocker's signature ("-FVE-FS-" where a file
// system keeps its name, at offset 3).
bool BootSectorShowsBitLocker(const unsigned char* sector, size_t size);

// True when the drive's volume is encrypted with BitLocker: its first sector read through the
// volume or, where the encryption hides it there, through the disk at the partition's
// start. False when neither can be read.
bool IsBitLockerVolume(const std::wstring& drive);

// The drive's bytes free to this user and bytes in use; false when it cannot be asked.
bool GetVolumeSpace(const std::wstring& drive, uint64_t* freeBytes, uint64_t* usedBytes);

// The drive a substituted drive ("subst X: C:\dir") lives on ("C:"); the drive itself
// otherwise.
std::wstring UnderlyingDrive(const std::wstring& drive);

// The drives of the machine, as FindLargestDataDrive sees them.
class DriveSource {
  public:
    virtual ~DriveSource() = default;
    // The logical drive roots in the platform's order ("C:\", "D:\", ...); false when the
    // list cannot be read.
    virtual bool ListRoots(std::vector<std::wstring>* roots) = 0;
    virtual UINT DriveType(const std::wstring& root) = 0;
    virtual bool IsUsb(const std::wstring& drive) = 0;
    virtual uint64_t FreeBytes(const std::wstring& root) = 0;
};

// The machine's own drives.
class SystemDriveSource : public DriveSource {
  public:
    bool ListRoots(std::vector<std::wstring>* roots) override;
    UINT DriveType(const std::wstring& root) override;
    bool IsUsb(const std::wstring& drive) override;
    uint64_t FreeBytes(const std::wstring& root) override;
};

// The root ("E:\") of the fixed, non-USB drive with the most free bytes, or empty text.
// The first listed root is taken as it is (unless it is A:), later ones must be fixed
// and not USB, and a later drive wins only with strictly more free space.
std::wstring FindLargestDataDrive(DriveSource& drives);
std::wstring FindLargestDataDrive();

}  // namespace korvane

// The checks every image job runs before it writes anything, so that the PC never restarts
// into a boot entry that cannot start or a Ghost run that cannot succeed: the firmware and
// the first disk's partition style, BitLocker on the volumes DOS must read, the image away
// from the partition Ghost rewrites, and room for a backup. Each refusal has been told to
// the user when a check answers false.
#pragma once

#include <string>

#include "staging/machine_facts.h"
#include "sysutil/page_opener.h"
#include "sysutil/user_prompt.h"

namespace korvane {

// What the image is for: a backup writes it, a restore or reinstall reads it, a download
// prepares a reinstall.
enum class ImageUse { kBackup, kRestore, kReinstall, kDownload };

// On boot-manager Windows, a machine started through UEFI or whose first disk is not MBR
// cannot start a boot-sector entry: the probe's message and the PE page, false.
bool BootsBootSectorEntries(MachineFacts& facts, UserPrompt& prompt, PageOpener& opener,
                            const std::wstring& pePageUrl);

// True when path (with a drive letter) lies on the system drive's partition.
bool IsOnSystemPartition(MachineFacts& facts, const std::wstring& systemDrive,
                         const std::wstring& path);

// Why an image (or the download folder) on the system partition cannot work for that use.
std::wstring SystemPartitionRefusal(ImageUse use, const std::wstring& systemDrive);

class Preflight {
  public:
    Preflight(std::wstring systemDrive, MachineFacts& facts, UserPrompt& prompt, PageOpener& opener,
              std::wstring pePageUrl);

    // Firmware, first disk and the system volume's encryption; asked before the job's
    // first question.
    bool MachineAllowsStaging();
    // The image's volume: not the system partition, not encrypted.
    bool ImageVolumeAllowed(ImageUse use, const std::wstring& imagePath);
    // A backup onto a drive with less free space than half of what the system drive uses
    // asks whether to go on; true to go on.
    bool BackupSpaceAccepted(const std::wstring& imagePath);

  private:
    bool RefuseEncrypted(const std::wstring& drive, const wchar_t* whose);

    std::wstring systemDrive_;
    MachineFacts& facts_;
    UserPrompt& prompt_;
    PageOpener& opener_;
    std::wstring pePageUrl_;
};

}  // namespace korvane

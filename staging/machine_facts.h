// What the machine must be for a one-time boot entry to start and Ghost to reach its image:
// the facts every image job checks before it writes anything. The program asks the machine;
// a test answers with another machine's facts.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "staging/probe_verdict.h"
#include "sysutil/process_runner.h"
#include "sysutil/system_info.h"

namespace korvane {

class MachineFacts {
  public:
    virtual ~MachineFacts() = default;
    // Windows with the boot manager (NT 6, which Windows 8 to 11 also report).
    virtual bool IsBootManagerWindows() = 0;
    virtual BootFirmware Firmware() = 0;
    // The partition-style probe's verdict on the first disk.
    virtual ProbeVerdict FirstDiskStyle() = 0;
    // True when the drive's volume ("C:") is encrypted with BitLocker.
    virtual bool IsBitLockerVolume(const std::wstring& drive) = 0;
    // The drive a drive letter really lives on (a substituted drive's host drive).
    virtual std::wstring UnderlyingDrive(const std::wstring& drive) = 0;
    // Bytes free to the user and bytes in use on the drive; false when it cannot be asked.
    virtual bool VolumeSpace(const std::wstring& drive, std::uint64_t* freeBytes,
                             std::uint64_t* usedBytes) = 0;
};

// The running machine. The probe runs diskpart, so its verdict is taken once per run and
// kept: the first disk does not change its partition style under a running Windows.
class RunningMachineFacts : public MachineFacts {
  public:
    RunningMachineFacts(std::wstring appDataFolder, CommandRunner& runner)
        : appDataFolder_(std::move(appDataFolder)), runner_(runner) {}

    bool IsBootManagerWindows() override;
    BootFirmware Firmware() override;
    ProbeVerdict FirstDiskStyle() override;
    bool IsBitLockerVolume(const std::wstring& drive) override;
    std::wstring UnderlyingDrive(const std::wstring& drive) override;
    bool VolumeSpace(const std::wstring& drive, std::uint64_t* freeBytes,
                     std::uint64_t* usedBytes) override;

  private:
    std::wstring appDataFolder_;
    CommandRunner& runner_;
    std::mutex probeLock_;  // the catalogue job and a job on the UI thread may both ask
    std::optional<ProbeVerdict> probeVerdict_;
};

}  // namespace korvane

#include "staging/machine_facts.h"

#include "staging/partition_probe.h"
#include "sysutil/drive_queries.h"

namespace korvane {

bool RunningMachineFacts::IsBootManagerWindows() {
    return IsWindowsNt6();
}

BootFirmware RunningMachineFacts::Firmware() {
    return GetBootFirmware();
}

ProbeVerdict RunningMachineFacts::FirstDiskStyle() {
    std::lock_guard<std::mutex> hold(probeLock_);
    if (!probeVerdict_ || *probeVerdict_ != ProbeVerdict::kMbr) {
        // A refusal is asked again next time: the script may have failed for a passing reason.
        probeVerdict_ = RunFirstDiskProbe(appDataFolder_, runner_);
    }
    return *probeVerdict_;
}

bool RunningMachineFacts::IsBitLockerVolume(const std::wstring& drive) {
    return korvane::IsBitLockerVolume(drive);
}

std::wstring RunningMachineFacts::UnderlyingDrive(const std::wstring& drive) {
    return korvane::UnderlyingDrive(drive);
}

bool RunningMachineFacts::VolumeSpace(const std::wstring& drive, std::uint64_t* freeBytes,
                                      std::uint64_t* usedBytes) {
    return GetVolumeSpace(drive, freeBytes, usedBytes);
}

}  // namespace korvane

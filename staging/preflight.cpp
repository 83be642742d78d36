#include "staging/preflight.h"

#include <windows.h>

#include <cwchar>
#include <cwctype>

#include "staging/partition_probe.h"

namespace korvane {

namespace {

constexpr wchar_t kNotice[] = L"信息提示";

std::wstring UpperDrive(const std::wstring& drive) {
    std::wstring upper = drive.substr(0, 2);
    for (wchar_t& c : upper) {
        c = static_cast<wchar_t>(towupper(c));
    }
    return upper;
}

// "12.3 GB", for the space question.
std::wstring GigabytesText(std::uint64_t bytes) {
    wchar_t text[32] = {};
    swprintf(text, 32, L"%.1f GB", static_cast<double>(bytes) / (1024.0 * 1024.0 * 1024.0));
    return text;
}

}  // namespace

bool BootsBootSectorEntries(MachineFacts& facts, UserPrompt& prompt, PageOpener& opener,
                            const std::wstring& pePageUrl) {
    if (!facts.IsBootManagerWindows()) {
        return true;
    }
    // UEFI firmware cannot chain-load a boot sector at all, whatever the disk holds.
    ProbeVerdict verdict = facts.Firmware() == BootFirmware::kUefi ? ProbeVerdict::kFirstDiskNotMbr
                                                                   : facts.FirstDiskStyle();
    ShowProbeRefusal(verdict, prompt, opener, pePageUrl);
    return verdict == ProbeVerdict::kMbr;
}

bool IsOnSystemPartition(MachineFacts& facts, const std::wstring& systemDrive,
                         const std::wstring& path) {
    if (path.size() < 2 || path[1] != L':') {
        return false;  // no drive letter: the partition designator check refuses it
    }
    return UpperDrive(facts.UnderlyingDrive(UpperDrive(path))) ==
           UpperDrive(facts.UnderlyingDrive(UpperDrive(systemDrive)));
}

std::wstring SystemPartitionRefusal(ImageUse use, const std::wstring& systemDrive) {
    const std::wstring drive = L"系统盘(" + systemDrive + L")";
    switch (use) {
        case ImageUse::kBackup:
            return L"备份镜像不能保存在" + drive +
                   L"上：Ghost 备份系统盘时无法同时写入系统盘。\r\n\r\n"
                   L"请选择其他分区的保存路径。未做任何更改，电脑不会重启。";
        case ImageUse::kDownload:
            return L"下载目录不能在" + drive +
                   L"上：重装时系统盘会被改写，Ghost 无法从系统盘读取镜像。\r\n\r\n"
                   L"请在设置中选择其他分区的下载目录。";
        case ImageUse::kRestore:
        case ImageUse::kReinstall:
            break;
    }
    return L"镜像文件不能放在" + drive +
           L"上：还原时系统盘会被改写，Ghost 无法从系统盘读取镜像。\r\n\r\n"
           L"请把镜像文件移到其他分区后重试。未做任何更改，电脑不会重启。";
}

Preflight::Preflight(std::wstring systemDrive, MachineFacts& facts, UserPrompt& prompt,
                     PageOpener& opener, std::wstring pePageUrl)
    : systemDrive_(std::move(systemDrive)),
      facts_(facts),
      prompt_(prompt),
      opener_(opener),
      pePageUrl_(std::move(pePageUrl)) {}

bool Preflight::MachineAllowsStaging() {
    return BootsBootSectorEntries(facts_, prompt_, opener_, pePageUrl_) &&
           !RefuseEncrypted(systemDrive_, L"系统盘");
}

bool Preflight::ImageVolumeAllowed(ImageUse use, const std::wstring& imagePath) {
    if (IsOnSystemPartition(facts_, systemDrive_, imagePath)) {
        prompt_.Ask(SystemPartitionRefusal(use, systemDrive_), kNotice, MB_ICONERROR);
        return false;
    }
    return !RefuseEncrypted(UpperDrive(imagePath), L"镜像所在分区");
}

bool Preflight::BackupSpaceAccepted(const std::wstring& imagePath) {
    std::uint64_t imageFree = 0, imageUsed = 0, systemFree = 0, systemUsed = 0;
    if (!facts_.VolumeSpace(UpperDrive(imagePath), &imageFree, &imageUsed) ||
        !facts_.VolumeSpace(systemDrive_, &systemFree, &systemUsed) ||
        imageFree >= systemUsed / 2) {
        return true;
    }
    return prompt_.Ask(L"镜像所在分区(" + UpperDrive(imagePath) + L")的可用空间只有" +
                           GigabytesText(imageFree) + L"，不到系统盘(" + systemDrive_ +
                           L")已用空间" + GigabytesText(systemUsed) +
                           L"的一半，备份可能因空间不足而失败。\r\n\r\n是否仍要继续一键备份？",
                       kNotice, MB_YESNO | MB_ICONINFORMATION) == IDYES;
}

// DOS reads neither an encrypted system volume nor an encrypted image volume.
bool Preflight::RefuseEncrypted(const std::wstring& drive, const wchar_t* whose) {
    if (!facts_.IsBitLockerVolume(drive)) {
        return false;
    }
    prompt_.Ask(std::wstring(whose) + L"(" + drive +
                    L")已开启 BitLocker 加密，重启后的 DOS 环境无法读取它。\r\n\r\n"
                    L"请先关闭 BitLocker（等待解密完成）后重试。未做任何更改，电脑不会重启。",
                kNotice, MB_ICONERROR);
    return true;
}

}  // namespace korvane

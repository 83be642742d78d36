#include "staging/system_image_jobs.h"

#include <windows.h>

#include "staging/boot_file_names.h"
#include "staging/ghost_batch.h"
#include "sysutil/drive_queries.h"
#include "sysutil/system_info.h"
#include "sysutil/text_conversion.h"
#include "sysutil/unique_handle.h"

namespace korvane {

namespace {

constexpr UINT kInformation = MB_ICONINFORMATION;
constexpr UINT kError = MB_ICONERROR;
constexpr wchar_t kNotice[] = L"信息提示";
constexpr wchar_t kInfo[] = L"信息";
constexpr wchar_t kPathHasChinese[] = L"镜像文件路径不能有中文，请重新选择。";
constexpr wchar_t kUnknownPartition[] =
    L"无法识别系统盘或镜像所在的磁盘分区，请检查镜像路径后重试。";
constexpr wchar_t kNothingChanged[] = L"\r\n\r\n未做任何更改，电脑不会重启。";
constexpr wchar_t kStagingFailed[] =
    L"设置一次性启动项失败，已撤销本次设置，电脑不会重启。\r\n\r\n"
    L"请确认以管理员身份运行后重试。";

bool WriteWholeFile(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

}  // namespace

std::wstring SystemVolumeQuery::GhostPartitionId(const std::wstring& drive) {
    return korvane::GetGhostPartitionId(drive);
}

SystemImageJobs::SystemImageJobs(std::wstring systemDrive, std::wstring appDataFolder,
                                 UserPrompt& prompt, CommandRunner& runner, VolumeQuery& volumes,
                                 Preflight& preflight)
    : systemDrive_(systemDrive),
      prompt_(prompt),
      runner_(runner),
      volumes_(volumes),
      preflight_(preflight),
      staging_(std::move(systemDrive), std::move(appDataFolder), runner),
      writeBatch_(WriteWholeFile) {}

void SystemImageJobs::RunSystemBackup(const std::wstring& imagePath) {
    if (!CanStage()) {
        return;
    }
    if (prompt_.Ask(L"是否开始一键备份\"系统盘(" + systemDrive_ + L")\"的所有文件？", kNotice,
                    MB_YESNO | kInformation) != IDYES) {
        return;
    }
    if (ContainsNonAsciiChar(imagePath)) {
        prompt_.Ask(kPathHasChinese, kNotice, kInformation);
        return;
    }
    if (!preflight_.ImageVolumeAllowed(ImageUse::kBackup, imagePath) ||
        !preflight_.BackupSpaceAccepted(imagePath)) {
        return;
    }
    std::wstring systemId, imageId;
    if (!PartitionIds(imagePath, &systemId, &imageId) || !CreateImageFolders(imagePath)) {
        return;
    }

    // Opened without truncation: an image already at this path stays whole until Ghost
    // overwrites it after the restart, so answering Cancel below loses nothing.
    UniqueHandle image(CreateFileW(imagePath.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                   OPEN_ALWAYS, 0, nullptr));
    if (!image.IsValid()) {
        prompt_.Ask(L"创建GHO镜像失败", kNotice, MB_OK);
        return;
    }
    image.Reset();

    std::wstring batch = BuildBackupBatch(systemId, imageId, ImagePathRemainder(imagePath));
    if (!WriteBatch(batch, {L"创建一键备份文件失败", kNotice}) ||
        !Stage(L"Korvane一键备份", L"Korvane一键备份")) {
        return;
    }
    FinishWithQuestion(L"一键备份设置完成，是否重启电脑完成一键备份？");
}

void SystemImageJobs::RunSystemRestore(const std::wstring& imagePath) {
    if (!CanStage()) {
        return;
    }
    if (prompt_.Ask(L"一键还原会格式化\"系统盘(" + systemDrive_ +
                        L")\"的所有文件,\r\n\r\n请注意做好相关文件的备份,\r\n\r\n"
                        L"是否继续一键还原系统？",
                    kInfo, MB_YESNO | kInformation) != IDYES) {
        return;
    }
    if (!PathExists(imagePath)) {
        prompt_.Ask(L"还原镜像文件不存在，请重新选择还原镜像！", kInfo, kInformation);
        return;
    }
    if (ContainsNonAsciiChar(imagePath)) {
        prompt_.Ask(kPathHasChinese, kNotice, kInformation);
        return;
    }
    std::wstring systemId, imageId;
    if (!preflight_.ImageVolumeAllowed(ImageUse::kRestore, imagePath) ||
        !PartitionIds(imagePath, &systemId, &imageId)) {
        return;
    }
    std::wstring batch = BuildRestoreBatch(systemId, imageId, ImagePathRemainder(imagePath));
    if (!WriteBatch(batch, {L"创建一键还原文件失败", kInfo}) ||
        !Stage(L"Korvane一键还原", L"Korvane一键还原")) {
        return;
    }
    FinishWithQuestion(L"一键还原设置完成，是否重启电脑完成一键重装？");
}

void SystemImageJobs::RunSystemReinstall(const std::wstring& imagePath) {
    if (!CanStage()) {
        return;
    }
    if (!PathExists(imagePath)) {
        prompt_.Ask(L"一键重装系统文件不存在，请重新选择还原镜像！", kInfo, kInformation);
        return;
    }
    if (ContainsNonAsciiChar(imagePath)) {
        prompt_.Ask(L"一键重装系统文件路径不能有中文，请重新选择。", kNotice, kInformation);
        return;
    }
    std::wstring systemId, imageId;
    if (!preflight_.ImageVolumeAllowed(ImageUse::kReinstall, imagePath) ||
        !PartitionIds(imagePath, &systemId, &imageId)) {
        return;
    }
    std::wstring batch = BuildRestoreBatch(systemId, imageId, ImagePathRemainder(imagePath));
    if (!WriteBatch(batch, {L"创建一键重装系统文件失败", kInfo}) ||
        !Stage(L"Korvane一键重装系统", L"Korvane一键重装")) {
        return;
    }
    Restart();
}

// Checked before the job asks or writes anything: a staging that cannot work is refused
// rather than found out after a restart into a boot entry that goes nowhere.
bool SystemImageJobs::CanStage() {
    if (!staging_.HasApplicationDataFolder()) {
        prompt_.Ask(
            std::wstring(L"无法确定程序数据文件夹，无法设置一次性启动项。") + kNothingChanged,
            kNotice, kError);
        return false;
    }
    PayloadFault fault = staging_.CarriedPayloadFault();
    if (fault != PayloadFault::kNone) {
        prompt_.Ask(L"程序携带的启动文件不可用（" + DescribePayloadFault(fault) +
                        L"），无法设置一次性启动项。" + kNothingChanged,
                    kNotice, kError);
        return false;
    }
    return preflight_.MachineAllowsStaging();
}

// A volume that cannot be asked has no designator, and a batch without one would send
// Ghost to the wrong partition, so the job stops before anything is written.
bool SystemImageJobs::PartitionIds(const std::wstring& imagePath, std::wstring* systemId,
                                   std::wstring* imageId) {
    *systemId = volumes_.GhostPartitionId(systemDrive_);
    *imageId = volumes_.GhostPartitionId(imagePath.substr(0, 2));
    if (systemId->empty() || imageId->empty()) {
        prompt_.Ask(kUnknownPartition, kNotice, kError);
        return false;
    }
    return true;
}

// Creates every folder of the path from the left (D:\, D:\QMZSysBak\, ...). A folder that
// could not be created is only a failure when it does not exist either.
bool SystemImageJobs::CreateImageFolders(const std::wstring& imagePath) {
    for (size_t i = 0; i < imagePath.size(); ++i) {
        if (imagePath[i] != L'\\') {
            continue;
        }
        std::wstring prefix = imagePath.substr(0, i + 1);
        if (!CreateDirectoryW(prefix.c_str(), nullptr) && !PathExists(prefix)) {
            prompt_.Ask(L"创建备份文件夹失败！", kNotice, kError);
            return false;
        }
    }
    return true;
}

bool SystemImageJobs::WriteBatch(const std::wstring& text, const BatchMessages& messages) {
    const std::wstring path = staging_.SystemRoot() + kGhostBatchName;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN);
    DeleteFileW(path.c_str());
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        prompt_.Ask(messages.text, kNotice, kInformation);
        return false;
    }
    // The path checks keep the text plain ASCII: one byte per character.
    if (!writeBatch_(file.Get(), WideToAnsi(text))) {
        file.Reset();
        DeleteFileW(path.c_str());  // a cut-off batch would run half a Ghost command line
        prompt_.Ask(messages.text, messages.writeFailedCaption, kInformation);
        return false;
    }
    return true;
}

bool SystemImageJobs::Stage(const std::wstring& description, const std::wstring& bootIniText) {
    if (staging_.StageBootEntry(description, bootIniText)) {
        return true;
    }
    staging_.UnstageBootEntry();
    prompt_.Ask(kStagingFailed, kNotice, kError);
    return false;
}

void SystemImageJobs::FinishWithQuestion(const wchar_t* question) {
    switch (prompt_.Ask(question, kNotice, MB_YESNOCANCEL | kInformation)) {
        case IDYES:
            Restart();
            break;
        case IDCANCEL:
            staging_.UnstageBootEntry();
            break;
        default:
            // No: the machine stays staged and the job runs at the next restart.
            break;
    }
}

void SystemImageJobs::Restart() {
    runner_.Run(L"cmd.exe /c shutdown -r -t 0");
}

}  // namespace korvane

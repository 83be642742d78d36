#include "reinstall/online_download.h"

#include <chrono>

#include "reinstall/download_texts.h"
#include "reinstall/editions.h"
#include "reinstall/image_catalogue.h"
#include "sysutil/job_log.h"
#include "sysutil/system_info.h"
#include "sysutil/worker_thread.h"

namespace korvane {

namespace {

constexpr wchar_t kChooseOsText[] = L"ChooseOs_Text";
constexpr wchar_t kPauseButton[] = L"StopDown_Btn";
constexpr wchar_t kProgressBar[] = L"Download_Progress";
constexpr wchar_t kSpeedText[] = L"DownloadSpeed_Text";
constexpr wchar_t kAlreadyText[] = L"DownloadAlready_Text";
constexpr wchar_t kTotalText[] = L"DownloadTotal_Text";
constexpr wchar_t kRemainingText[] = L"DownloadState_Text";
constexpr wchar_t kInfoCaption[] = L"信息提示";
constexpr wchar_t kProgramCaption[] = L"Korvane一键重装";

constexpr int kProgressStep = 5;
constexpr int kEditionPagesStep = 1;

}  // namespace

OnlineDownload::OnlineDownload(WizardView& view, DownloadLibrary& downloads, UserPrompt& prompt,
                               OptionsStore options, std::wstring appDataFolder,
                               std::wstring systemDrive, ReinstallJob reinstall)
    : view_(view),
      downloads_(downloads),
      prompt_(prompt),
      options_(std::move(options)),
      appDataFolder_(std::move(appDataFolder)),
      systemDrive_(std::move(systemDrive)),
      reinstall_(std::move(reinstall)) {}

OnlineDownload::~OnlineDownload() {
    Close();
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait(hold, [this] { return monitors_ == 0; });
}

void OnlineDownload::ChooseEdition(int index) {
    const Edition* edition = EditionByIndex(index);
    if (!edition) {
        return;
    }
    editionIndex_ = index;
    view_.SetButtonImages(DownloadButtonOf(*edition), L"1_22_But1_1.png", L"1_22_But1_2.png",
                          L"1_22_But1_3.png");
}

void OnlineDownload::RequestDownload(const std::wstring& downloadFolder) {
    const Edition* edition = EditionByIndex(editionIndex_);
    if (!edition) {
        prompt_.Ask(L"请选择要重装的系统！", kInfoCaption, MB_ICONERROR);
        return;
    }
    const std::wstring address = ReadImageAddress(appDataFolder_, edition->catalogueKey);
    view_.SetControlText(L"tuijiand_text",
                         std::wstring(edition->banner) + L" 系统正在下载中,请稍后!");
    view_.SetControlUserData(kChooseOsText, address);
    if (view_.ControlText(kChooseOsText) == kNoChoiceText) {
        prompt_.Ask(L"请选择要重装的系统！", kInfoCaption, MB_ICONERROR);
        return;
    }

    const std::wstring url = view_.ControlUserData(kChooseOsText);
    const std::wstring fileName = ImageFileName(address);
    const std::wstring imagePath = korvane::ImagePath(downloadFolder, fileName);
    {
        std::lock_guard<std::mutex> hold(lock_);
        imageUrl_ = url;
        fileName_ = fileName;
        downloadFolder_ = downloadFolder;
        imagePath_ = imagePath;
    }
    ++taskNumber_;
    for (const wchar_t* text : {kSpeedText, kAlreadyText, kTotalText}) {
        view_.SetControlText(text, L"");
    }

    // The file name, not the whole path: a folder with a "." must not pass for an image.
    if (fileName.find(L'.') == std::wstring::npos) {
        prompt_.Ask(L"获取系统配置文件失败，请检查网络是否正常", kProgramCaption,
                    MB_ICONINFORMATION);
        return;
    }
    if (PathExists(imagePath)) {
        if (prompt_.Ask(L"系统已存在，是否开始一键重装系统？", kProgramCaption,
                        MB_YESNO | MB_ICONINFORMATION) == IDYES) {
            reinstall_(imagePath);
        }
        return;
    }

    options_.WriteOption(kDownloadSection, L"FileName", fileName);
    options_.WriteOption(kDownloadSection, L"AllName", imagePath);
    options_.WriteOption(kDownloadSection, L"Url", url);
    options_.WriteOption(kDownloadSection, L"Path", downloadFolder);
    options_.WriteOption(kDownloadSection, L"Staus", L"0");
    if (StartDownload(url, fileName, downloadFolder)) {
        view_.SelectWizardStep(kProgressStep);
    }
}

bool OnlineDownload::StartDownload(const std::wstring& url, const std::wstring& fileName,
                                   const std::wstring& folder) {
    downloadStarted_ = true;
    EndMonitor();
    if (!downloads_.CreateAndStartTask(taskNumber_, url, fileName, folder)) {
        // A library that could not be loaded has told the user already.
        if (downloads_.IsLoaded()) {
            prompt_.Ask(L"创建下载任务失败，请检查下载目录设置后重试。", kInfoCaption,
                        MB_ICONERROR);
        }
        LogJob(L"download: no task for " + url + L" into " + folder);
        return false;
    }
    LogJob(L"download: task " + std::to_wstring(taskNumber_) + L" started, " + url + L" -> " +
           folder + L"\\" + fileName);
    downloads_.ApplyStoredSpeedLimit();

    std::uint32_t generation;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (closing_) {
            return true;
        }
        generation = ++lastGeneration_;
        if (generation == 0) {
            generation = ++lastGeneration_;
        }
        generation_ = generation;
        ++monitors_;
    }
    auto ended = [this] {
        std::lock_guard<std::mutex> hold(lock_);
        --monitors_;
        changed_.notify_all();
    };
    const std::wstring imagePath = ImagePath();
    if (!StartWorkerThread(
            [this, generation, imagePath, ended] {
                Monitor(generation, imagePath);
                ended();
            },
            ended)) {
        ended();
    }
    return true;
}

void OnlineDownload::TogglePause() {
    if (view_.ControlTag(kPauseButton) == 0) {
        downloads_.PauseTask(taskNumber_);
        LogJob(L"download: task " + std::to_wstring(taskNumber_) + L" paused");
        view_.SetButtonImages(kPauseButton, L"qd.png");
        view_.SetControlTag(kPauseButton, 1);
    } else {
        downloads_.ResumeTask(taskNumber_);
        LogJob(L"download: task " + std::to_wstring(taskNumber_) + L" resumed");
        view_.SetButtonImages(kPauseButton, L"zt.png");
        view_.SetControlTag(kPauseButton, 0);
    }
}

void OnlineDownload::ReChoose() {
    if (prompt_.Ask(L"正在下载系统，是否重新选择系统？", L"Korvane一键重装系统",
                    MB_OKCANCEL | MB_ICONINFORMATION) != IDOK) {
        return;
    }
    EndMonitor();
    downloads_.StopAndDeleteTask(taskNumber_);
    LogJob(L"download: task " + std::to_wstring(taskNumber_) + L" deleted (re-choose)");
    view_.SelectWizardStep(kEditionPagesStep);
}

void OnlineDownload::Close() {
    std::unique_lock<std::mutex> hold(lock_);
    closing_ = true;
    generation_ = 0;
    changed_.notify_all();
    changed_.wait(hold, [this] { return !reinstalling_; });
}

std::wstring OnlineDownload::ImagePath() const {
    std::lock_guard<std::mutex> hold(lock_);
    return imagePath_;
}

void OnlineDownload::SetImagePath(const std::wstring& path) {
    std::lock_guard<std::mutex> hold(lock_);
    imagePath_ = path;
}

void OnlineDownload::EndMonitor() {
    std::lock_guard<std::mutex> hold(lock_);
    generation_ = 0;
    changed_.notify_all();
}

void OnlineDownload::WaitBeforeNextPass(std::uint32_t generation) {
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait_for(hold, std::chrono::milliseconds(1000),
                      [this, generation] { return !IsCurrent(generation); });
}

void OnlineDownload::Monitor(std::uint32_t generation, std::wstring imagePath) {
    view_.SetControlText(L"DownloadPath_Text", imagePath);
    view_.SetControlText(L"Downloading_Text", L"");
    view_.SetControlText(L"DownloadInstallPath_Text", systemDrive_);

    TaskInfoRecord record;
    while (IsCurrent(generation)) {
        record.Prepare();
        downloads_.QueryTask(taskNumber_, &record);
        WaitBeforeNextPass(generation);
        if (!IsCurrent(generation)) {
            return;
        }
        if (record.State() == xldl::kStateFinished) {
            HandOver(generation, record, imagePath);
            return;
        }
        if (!ShowProgress(record)) {
            return;
        }
    }
}

bool OnlineDownload::ShowProgress(const TaskInfoRecord& record) {
    switch (record.State()) {
        case xldl::kStateStopped:
            view_.SetControlText(kSpeedText, kPausedSpeedText);
            return true;
        case xldl::kStateFailed:
            if (record.FailureCode() == xldl::kFailureLocalFile) {
                LogJob(L"download: task " + std::to_wstring(taskNumber_) +
                       L" failed, the file could not be written");
                prompt_.Ask(
                    L"创建下载文件失败，请检查是否有足够的磁盘空间\r\n\r\n"
                    L"超过4G的文件请下载到NTFS格式的硬盘！",
                    kInfoCaption, MB_ICONERROR);
                return false;
            }
            return true;
        case xldl::kStateDownloading:
            ShowFigures(record);
            return true;
        default:
            return true;
    }
}

void OnlineDownload::ShowFigures(const TaskInfoRecord& record) {
    const float percent = record.Fraction() * 100.0f;
    view_.ShowControl(kProgressBar, true);
    Sleep(10);
    view_.SetProgressValue(kProgressBar, static_cast<int>(percent));
    const std::wstring percentText = PercentText(percent);
    view_.SetControlText(kTotalText, SizeText(record.TotalBytes()));
    const std::wstring downloaded = SizeText(record.DownloadedBytes());
    if (const Edition* edition = EditionByIndex(editionIndex_)) {
        options_.WriteOption(kDownloadSection, SizeKeyOf(*edition), downloaded);
    }
    view_.SetControlText(kAlreadyText, downloaded);
    view_.SetControlText(kSpeedText, SpeedText(record.SpeedBytesPerSecond()));
    view_.SetControlText(kRemainingText,
                         RemainingTimeText(record.TotalBytes(), record.DownloadedBytes(),
                                           record.SpeedBytesPerSecond(), percentText));
    // The skin keeps the line hidden until there is something to show.
    view_.ShowControl(kRemainingText, true);
}

void OnlineDownload::HandOver(std::uint32_t generation, const TaskInfoRecord& record,
                              const std::wstring& imagePath) {
    // A short download may finish between two passes: the page and the record show the
    // finished amounts rather than the last ones seen.
    if (record.TotalBytes() > 0) {
        ShowFigures(record);
    }
    view_.SetProgressValue(kProgressBar, 100);
    options_.WriteOption(kDownloadSection, L"Staus", L"1");
    LogJob(L"download: task " + std::to_wstring(taskNumber_) + L" finished, " + imagePath + L", " +
           std::to_wstring(record.TotalBytes()) + L" bytes");
    const std::wstring prompt =
        L"\"" + record.FileName() + L"\" 下载完成,是否进行一键重装系统？（30秒后自动开始一键重装）";
    if (prompt_.AskTimed(prompt, kInfoCaption, MB_YESNO | MB_ICONINFORMATION,
                         kCompletionPromptMs) == IDNO) {
        return;
    }
    {
        std::lock_guard<std::mutex> hold(lock_);
        // A closing program or a newer download takes the hand-off away.
        if (closing_ || !IsCurrent(generation)) {
            return;
        }
        reinstalling_ = true;
    }
    reinstall_(imagePath);
    std::lock_guard<std::mutex> hold(lock_);
    reinstalling_ = false;
    changed_.notify_all();
}

}  // namespace korvane

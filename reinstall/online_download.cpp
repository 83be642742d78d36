#include "reinstall/online_download.h"

#include <chrono>

#include "reinstall/download_texts.h"
#include "reinstall/editions.h"
#include "reinstall/image_catalogue.h"
#include "sysutil/job_log.h"
#include "sysutil/system_info.h"
#include "staging/preflight.h"
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
constexpr wchar_t kImageExists[] = L"系统已存在，是否开始一键重装系统？";

constexpr int kProgressStep = 5;
constexpr int kEditionPagesStep = 1;

}  // namespace

OnlineDownload::OnlineDownload(WizardView& view, DownloadLibrary& downloads, UserPrompt& prompt,
                               OptionsStore options, std::wstring appDataFolder,
                               std::wstring systemDrive, MachineFacts& machine,
                               ReinstallJob reinstall)
    : view_(view),
      downloads_(downloads),
      prompt_(prompt),
      options_(options),
      appDataFolder_(std::move(appDataFolder)),
      systemDrive_(std::move(systemDrive)),
      machine_(machine),
      verified_(std::move(options)),
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
    // A hash entry that is no SHA-256 leaves the image unverifiable: as bad as no address.
    const CatalogueHash hash = ReadImageHash(appDataFolder_, edition->catalogueKey);
    if (fileName.find(L'.') == std::wstring::npos || hash.malformed) {
        if (hash.malformed) {
            LogJob(L"download: the catalogue's SHA256 entry of " +
                   std::wstring(edition->catalogueKey) + L" is no SHA-256");
        }
        prompt_.Ask(L"获取系统配置文件失败，请检查网络是否正常", kProgramCaption,
                    MB_ICONINFORMATION);
        return;
    }
    // Ghost rewrites the system partition while it reads the image: refused before
    // hours of downloading.
    if (IsOnSystemPartition(machine_, systemDrive_, imagePath)) {
        prompt_.Ask(SystemPartitionRefusal(ImageUse::kDownload, systemDrive_), kInfoCaption,
                    MB_ICONERROR);
        return;
    }
    {
        std::lock_guard<std::mutex> hold(lock_);
        imageHash_ = hash.hex;
    }
    if (PathExists(imagePath)) {
        OfferExistingImage(*edition, imagePath, hash.hex);
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

    std::wstring imagePath;
    std::string hash;
    {
        std::lock_guard<std::mutex> hold(lock_);
        imagePath = imagePath_;
        hash = imageHash_;
    }
    StartWatcher([this, imagePath, hash](std::uint32_t generation) {
        Monitor(generation, imagePath, hash);
    });
    return true;
}

bool OnlineDownload::StartWatcher(std::function<void(std::uint32_t generation)> body) {
    std::uint32_t generation;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (closing_) {
            return false;
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
    if (!StartWorkerThread(
            [body = std::move(body), generation, ended] {
                body(generation);
                ended();
            },
            ended)) {
        ended();
    }
    return true;
}

void OnlineDownload::OfferExistingImage(const Edition& edition, const std::wstring& imagePath,
                                        const std::string& hash) {
    if (hash.empty() || verified_.Remembers(imagePath, hash)) {
        if (!hash.empty()) {
            LogJob(L"image check: " + imagePath + L" matched before and is unchanged");
        }
        if (prompt_.Ask(kImageExists, kProgramCaption, MB_YESNO | MB_ICONINFORMATION) == IDYES) {
            reinstall_(imagePath);
        }
        return;
    }
    // Reading gigabytes takes a while: on step 5 with its progress, off the UI thread.
    EndMonitor();
    view_.SetControlText(L"DownloadPath_Text", imagePath);
    view_.SelectWizardStep(kProgressStep);
    const int editionPage = edition.family + 1;
    StartWatcher([this, imagePath, hash, editionPage](std::uint32_t generation) {
        if (CheckImage(generation, imagePath, hash)) {
            if (prompt_.Ask(kImageExists, kProgramCaption, MB_YESNO | MB_ICONINFORMATION) ==
                IDYES) {
                RunReinstall(generation, imagePath);
                return;
            }
        }
        if (IsCurrent(generation)) {
            view_.SelectWizardStep(editionPage);
        }
    });
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

void OnlineDownload::Monitor(std::uint32_t generation, std::wstring imagePath, std::string hash) {
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
            HandOver(generation, record, imagePath, hash);
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
                              const std::wstring& imagePath, const std::string& hash) {
    // A short download may finish between two passes: the page and the record show the
    // finished amounts rather than the last ones seen.
    if (record.TotalBytes() > 0) {
        ShowFigures(record);
    }
    view_.SetProgressValue(kProgressBar, 100);
    if (!hash.empty() && !CheckImage(generation, imagePath, hash)) {
        return;
    }
    options_.WriteOption(kDownloadSection, L"Staus", L"1");
    LogJob(L"download: task " + std::to_wstring(taskNumber_) + L" finished, " + imagePath + L", " +
           std::to_wstring(record.TotalBytes()) + L" bytes");
    const std::wstring prompt =
        L"\"" + record.FileName() + L"\" 下载完成,是否进行一键重装系统？（30秒后自动开始一键重装）";
    if (prompt_.AskTimed(prompt, kInfoCaption, MB_YESNO | MB_ICONINFORMATION,
                         kCompletionPromptMs) == IDNO) {
        return;
    }
    RunReinstall(generation, imagePath);
}

bool OnlineDownload::CheckImage(std::uint32_t generation, const std::wstring& imagePath,
                                const std::string& hash) {
    view_.SetControlText(kRemainingText, kImageCheckText);
    view_.ShowControl(kRemainingText, true);
    view_.ShowControl(kProgressBar, true);
    view_.SetProgressValue(kProgressBar, 0);
    int shown = -1;
    const ImageCheck result =
        CheckImageFile(imagePath, hash, [&](std::uint64_t done, std::uint64_t total) {
            const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 100;
            if (percent != shown) {  // a block is 1 MiB: the page changes once a percent
                shown = percent;
                view_.SetProgressValue(kProgressBar, percent);
                view_.SetControlText(kRemainingText, std::wstring(kImageCheckText) + L" " +
                                                         std::to_wstring(percent) + L"%");
            }
            return IsCurrent(generation);
        });
    switch (result) {
        case ImageCheck::kMatch:
            verified_.Remember(imagePath, hash);
            LogJob(L"image check: " + imagePath + L" matches the catalogue's SHA-256");
            return true;
        case ImageCheck::kStopped:
            LogJob(L"image check: " + imagePath + L" stopped");
            return false;
        case ImageCheck::kMismatch:
            break;
    }
    const bool setAside = SetImageAside(imagePath);
    LogJob(L"image check: " + imagePath + L" does not match the catalogue's SHA-256, " +
           (setAside ? L"set aside as .bad" : L"could not be set aside"));
    prompt_.Ask(kImageCheckFailed, kInfoCaption, MB_ICONERROR);
    return false;
}

void OnlineDownload::RunReinstall(std::uint32_t generation, const std::wstring& imagePath) {
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

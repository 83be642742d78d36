#include "databackup/data_job.h"

#include <shlobj.h>

#include <cwchar>
#include <vector>

#include "databackup/copy_problems.h"
#include "databackup/copy_progress.h"
#include "databackup/folder_chain.h"
#include "databackup/job_report.h"
#include "databackup/tree_copier.h"
#include "sysutil/job_log.h"

namespace korvane {

namespace {

constexpr wchar_t kCaption[] = L"信息提示";

struct DataFolder {
    int csidl;
    const wchar_t* subFolder;  // in the backup root
    const wchar_t* backupOption;
    const wchar_t* restoreOption;
    const wchar_t* backupActivity;
    const wchar_t* restoreActivity;
};

const DataFolder kDataFolders[] = {
    {CSIDL_PERSONAL, L"\\我的文档", L"BackUpDoc_Op1", L"BackUpDoc_Op4", L"正在备份[我的文档]. . .",
     L"正在还原[我的文档]. . ."},
    {CSIDL_DESKTOP, L"\\桌面", L"BackUpDoc_Op2", L"BackUpDoc_Op5", L"正在备份[桌面]. . .",
     L"正在还原[桌面]. . ."},
    {CSIDL_FAVORITES, L"\\收藏夹", L"BackUpDoc_Op3", L"BackUpDoc_Op6", L"正在备份[收藏夹]. . .",
     L"正在还原[收藏夹]. . ."},
};
constexpr int kFolderCount = 3;

struct DirectionTexts {
    const wchar_t* rootEdit;
    const wchar_t* gathering;
    const wchar_t* firstCount;
    const wchar_t* createFailed;
};

const DirectionTexts kBackupTexts = {L"BackUpDocPath_Edit", L"正在获取备份信息. . .",
                                     L"已备份：0/%d", L"创建备份文件夹失败！"};
const DirectionTexts kRestoreTexts = {L"RestoreDocPath_Edit", L"正在获取还原信息. . .",
                                      L"已还原：0/%d", L"创建还原文件夹失败！"};

// Where each folder is copied from and to in this run; empty when it is not taking part or
// its shell folder is unknown.
struct FolderPlan {
    bool selected = false;
    std::wstring source;
    std::wstring destination;
};

class DataJobRun {
  public:
    explicit DataJobRun(const DataJob& job)
        : job_(job),
          restore_(job.direction == kDataRestore),
          texts_(restore_ ? kRestoreTexts : kBackupTexts),
          progress_(job.view),
          copier_(progress_, problems_) {}

    void Run();

  private:
    void PlanFolders(const std::wstring& root);
    bool CreateDestinations();
    void CopyFolder(int index);
    void End(const std::wstring& text, UINT type);

    const DataJob& job_;
    const bool restore_;
    const DirectionTexts& texts_;
    CopyProblems problems_;
    CopyProgress progress_;
    TreeCopier copier_;
    FolderPlan plans_[kFolderCount];
};

void DataJobRun::Run() {
    job_.view.SetActivityText(texts_.gathering);
    progress_.StartFolder(0);
    const std::wstring root = job_.page.EditText(texts_.rootEdit);
    if (root.empty()) {
        // Relative to nothing, the sub-folders would land on the current drive's root.
        End(L"请选择一个备份路径！", MB_OK | MB_ICONERROR);
        return;
    }
    PlanFolders(root);
    if (plans_[0].selected && !plans_[0].source.empty()) {
        progress_.StartFolder(copier_.CountFiles(plans_[0].source));
    }
    wchar_t line[64];
    swprintf(line, 64, texts_.firstCount, progress_.Total());
    job_.view.SetCountText(line);
    if (!CreateDestinations()) {
        End(texts_.createFailed, MB_OK | MB_ICONERROR);
        return;
    }
    for (int i = 0; i < kFolderCount; ++i) {
        CopyFolder(i);
    }
    JobReport report = MakeJobReport(restore_, problems_);
    End(report.text, report.type);
}

void DataJobRun::PlanFolders(const std::wstring& root) {
    for (int i = 0; i < kFolderCount; ++i) {
        const DataFolder& folder = kDataFolders[i];
        FolderPlan& plan = plans_[i];
        plan.selected =
            job_.page.IsOptionSelected(restore_ ? folder.restoreOption : folder.backupOption);
        const std::wstring inBackup = root + folder.subFolder;
        // A restore makes all three shell folders; a backup needs only the selected ones.
        const std::wstring shell =
            (restore_ || plan.selected) ? job_.shellFolders.Locate(folder.csidl) : L"";
        plan.source = restore_ ? inBackup : shell;
        plan.destination = restore_ ? shell : inBackup;
    }
}

bool DataJobRun::CreateDestinations() {
    std::vector<std::wstring> destinations;
    for (const FolderPlan& plan : plans_) {
        if (!plan.destination.empty()) {
            destinations.push_back(plan.destination);
        }
    }
    return CreateDestinationFolders(destinations);
}

void DataJobRun::CopyFolder(int index) {
    const FolderPlan& plan = plans_[index];
    if (!plan.selected) {
        return;
    }
    if (plan.source.empty() || plan.destination.empty()) {
        problems_.AddFailedFolder(kDataFolders[index].subFolder + 1);
        return;
    }
    if (index > 0) {
        progress_.StartFolder(copier_.CountFiles(plan.source));
    }
    const DataFolder& folder = kDataFolders[index];
    job_.view.SetActivityText(restore_ ? folder.restoreActivity : folder.backupActivity);
    LogJob(std::wstring(restore_ ? L"personal data restore: " : L"personal data backup: ") +
           std::to_wstring(progress_.Total()) + L" files, " + plan.source + L" -> " +
           plan.destination);
    copier_.CopyTree(plan.source, plan.destination, plan.source);
}

void DataJobRun::End(const std::wstring& text, UINT type) {
    LogJob(std::wstring(restore_ ? L"personal data restore ended: "
                                 : L"personal data backup ended: ") +
           text);
    job_.prompt.Ask(text, kCaption, type);
    job_.view.CloseJobWindow();
}

}  // namespace

int RunDataJob(const DataJob& job) {
    DataJobRun run(job);
    run.Run();
    return 0;
}

}  // namespace korvane

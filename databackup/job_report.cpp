#include "databackup/job_report.h"

#include <cwchar>
#include <vector>

namespace korvane {

namespace {

std::wstring Format(const wchar_t* pattern, int value) {
    wchar_t text[160];
    swprintf(text, 160, pattern, value);
    return text;
}

void AppendPaths(std::wstring& text, const std::vector<std::wstring>& paths, int count) {
    for (const std::wstring& path : paths) {
        text += L'\n';
        text += path;
    }
    if (count > static_cast<int>(paths.size())) {
        text += L"\n……";
    }
}

std::wstring FailureText(bool restore, const CopyProblems& problems) {
    std::wstring text = Format(restore ? L"个人资料还原未完成：有 %d 个文件未能复制。"
                                       : L"个人资料备份未完成：有 %d 个文件未能复制。",
                               problems.FailedFiles());
    if (problems.FailedFolders() > 0) {
        text += Format(L"\n另有 %d 个文件夹无法读取或创建。", problems.FailedFolders());
    }
    text += L"\n\n出错的位置：";
    AppendPaths(text, problems.NamedFailures(), problems.FailedFiles() + problems.FailedFolders());
    return text;
}

}  // namespace

JobReport MakeJobReport(bool restore, const CopyProblems& problems) {
    JobReport report;
    if (problems.HasFailures()) {
        report.text = FailureText(restore, problems);
        report.type = MB_OK | MB_ICONERROR;
    } else {
        report.text = restore ? L"一键还原个人资料成功！" : L"一键备份个人资料成功！";
        report.type = MB_OK | MB_ICONINFORMATION;
    }
    if (problems.SkippedLinks() > 0) {
        report.text +=
            Format(L"\n\n已跳过 %d 个链接文件夹（未复制其中的内容）：", problems.SkippedLinks());
        AppendPaths(report.text, problems.NamedLinks(), problems.SkippedLinks());
    }
    return report;
}

}  // namespace korvane

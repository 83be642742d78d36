#include "databackup/copy_progress.h"

#include <cwchar>

namespace korvane {

void CopyProgress::StartFolder(int total) {
    copied_ = 0;
    total_ = total;
    shownCopied_ = 0;
}

void CopyProgress::FileCopied() {
    ++copied_;
    if (copied_ == 1 || GetTickCount() - shownAt_ >= kMinIntervalMs) {
        Show();
    }
}

void CopyProgress::ShowFinalCount() {
    if (copied_ != shownCopied_) {
        Show();
    }
}

void CopyProgress::Show() {
    // The same words in both directions: the line has always said "已备份".
    wchar_t line[64];
    swprintf(line, 64, L"已备份：%d/%d", copied_, total_);
    view_.SetCountText(line);
    shownCopied_ = copied_;
    shownAt_ = GetTickCount();
}

}  // namespace korvane

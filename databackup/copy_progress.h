// The counters of the folder being copied and the count line "已备份：copied/total". Under
// Wine a file copy can take well under a millisecond, and each label change repaints the
// window: the line follows the count at most every kMinIntervalMs, but the first file of a
// folder and the folder's final count are always shown.
#pragma once

#include <windows.h>

#include "databackup/data_job_view.h"

namespace korvane {

class CopyProgress {
  public:
    static constexpr DWORD kMinIntervalMs = 33;

    explicit CopyProgress(DataJobView& view) : view_(view) {}

    // A new folder: nothing copied yet of total files.
    void StartFolder(int total);
    int Copied() const { return copied_; }
    int Total() const { return total_; }

    void FileCopied();
    // Shows the exact count when the line lags behind it.
    void ShowFinalCount();

  private:
    void Show();

    DataJobView& view_;
    int copied_ = 0;
    int total_ = 0;
    int shownCopied_ = 0;
    DWORD shownAt_ = 0;
};

}  // namespace korvane

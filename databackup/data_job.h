// The personal-data job: backs up the user's Documents, Desktop and Favorites into
// R\我的文档, R\桌面 and R\收藏夹 of the folder chosen on the personal-data page, or copies
// them back from there, showing its progress in a DataJobView and ending with a message.
#pragma once

#include "databackup/data_job_view.h"
#include "databackup/personal_data_page.h"
#include "databackup/shell_folders.h"
#include "sysutil/user_prompt.h"

namespace korvane {

enum DataJobDirection { kDataBackup = 0, kDataRestore = 1 };

struct DataJob {
    int direction;  // kDataBackup or kDataRestore
    PersonalDataPage& page;
    DataJobView& view;
    ShellFolderSource& shellFolders;
    UserPrompt& prompt;  // the end message (caption "信息提示")
};

// Runs the whole job on the calling thread and closes the view at its end. Returns 0.
int RunDataJob(const DataJob& job);

}  // namespace korvane

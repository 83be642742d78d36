// The message a personal-data job ends with: the success text only when every file was
// copied, otherwise how many failed and which; links that were not followed are named.
#pragma once

#include <windows.h>

#include <string>

#include "databackup/copy_problems.h"

namespace korvane {

struct JobReport {
    std::wstring text;
    UINT type;  // MB_OK with the information or the error icon
};

JobReport MakeJobReport(bool restore, const CopyProblems& problems);

}  // namespace korvane

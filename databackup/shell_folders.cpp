#include "databackup/shell_folders.h"

#include <shlobj.h>

namespace korvane {

std::wstring SystemShellFolders::Locate(int csidl) {
    wchar_t folder[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(owner_, folder, csidl, FALSE)) {
        return std::wstring();
    }
    return folder;
}

}  // namespace korvane

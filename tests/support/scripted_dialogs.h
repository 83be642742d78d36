// Chooser dialogs that answer from a script and keep what each one was shown.
#pragma once

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

#include "sysutil/file_dialogs.h"

namespace korvane::test {

class ScriptedDialogs : public ChooserDialogs {
  public:
    struct FileDialog {
        bool save;
        OPENFILENAMEW description;
        std::vector<std::wstring> filter;  // the filter list's strings, in order
        std::wstring title;
        std::wstring initialPath;
    };
    struct FolderDialog {
        BROWSEINFOW description;
        std::wstring title;
    };

    // The next file dialog: confirmed with this path, or cancelled (no path).
    bool confirm = false;
    std::wstring answer;
    // The next folder browser's item (handed over to the caller), null for cancel.
    PIDLIST_ABSOLUTE folder = nullptr;

    std::vector<FileDialog> fileDialogs;
    std::vector<FolderDialog> folderDialogs;

    bool ShowOpen(OPENFILENAMEW* description) override { return Answer(false, description); }
    bool ShowSave(OPENFILENAMEW* description) override { return Answer(true, description); }
    PIDLIST_ABSOLUTE BrowseForFolder(BROWSEINFOW* description) override {
        folderDialogs.push_back(
            {*description, description->lpszTitle ? description->lpszTitle : L"(none)"});
        PIDLIST_ABSOLUTE item = folder;
        folder = nullptr;
        return item;
    }

  private:
    bool Answer(bool save, OPENFILENAMEW* description) {
        FileDialog shown = {save, *description, {}, {}, {}};
        for (const wchar_t* p = description->lpstrFilter; p && *p; p += wcslen(p) + 1) {
            shown.filter.push_back(p);
        }
        shown.title = description->lpstrTitle ? description->lpstrTitle : L"(none)";
        shown.initialPath.assign(description->lpstrFile,
                                 wcsnlen(description->lpstrFile, description->nMaxFile));
        fileDialogs.push_back(shown);
        if (!confirm) {
            return false;
        }
        EXPECT_LT(answer.size(), description->nMaxFile);
        wcsncpy(description->lpstrFile, answer.c_str(), description->nMaxFile - 1);
        return true;
    }
};

// The shell's item for a folder, as the folder browser answers it (the caller frees it).
inline PIDLIST_ABSOLUTE FolderItem(const std::wstring& path) {
    return ILCreateFromPathW(path.c_str());
}

}  // namespace korvane::test

// The file and folder choosers of the backup pages.
#pragma once

#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>

#include <string>

#include "sysutil/user_prompt.h"

namespace korvane {

enum GhoDialogMode { kGhoSave = 0, kGhoOpen = 1 };

// Where the choosers show their dialogs: the program uses the platform's, tests a script
// that answers as a user would.
class ChooserDialogs {
  public:
    virtual ~ChooserDialogs() = default;
    // GetOpenFileNameW / GetSaveFileNameW: true when confirmed, the path in lpstrFile.
    virtual bool ShowOpen(OPENFILENAMEW* description) = 0;
    virtual bool ShowSave(OPENFILENAMEW* description) = 0;
    // SHBrowseForFolderW: the chosen item (freed by the caller with CoTaskMemFree), or
    // null when cancelled.
    virtual PIDLIST_ABSOLUTE BrowseForFolder(BROWSEINFOW* description) = 0;
};

// The platform's own dialogs.
ChooserDialogs& PlatformDialogs();

// The image open dialog ("请选择GHO镜像文件"); true with the chosen path on confirmation,
// false with an empty path when cancelled.
bool ShowGhoOpenDialog(HWND owner, std::wstring* path, ChooserDialogs& dialogs = PlatformDialogs());

// Mode 1: open dialog, the field gets the dialog's answer (empty when cancelled).
// Mode 0: save dialog; the answer + ".GHO" goes into the field, after an overwrite
// question when that file exists. Cancel leaves the field as it was.
void ChooseGhoFile(HWND owner, int mode, TextField& field, UserPrompt& prompt,
                   ChooserDialogs& dialogs = PlatformDialogs());

// The save dialog's answer as it reaches the field: ".GHO" is always appended, and an
// existing file is only taken when the user agrees to overwrite it.
void AcceptSavedGhoPath(const std::wstring& chosen, TextField& field, UserPrompt& prompt);

// The folder browser; the chosen file-system folder goes into the field. Cancel, or a
// choice that is not a file-system folder, changes nothing.
void ChooseDataFolder(TextField& field, ChooserDialogs& dialogs = PlatformDialogs());

}  // namespace korvane

// The file and folder choosers of the backup pages.
#pragma once

#include <windows.h>

#include <string>

#include "sysutil/user_prompt.h"

namespace korvane {

enum GhoDialogMode { kGhoSave = 0, kGhoOpen = 1 };

// The image open dialog ("请选择GHO镜像文件"); true with the chosen path on confirmation.
bool ShowGhoOpenDialog(HWND owner, std::wstring* path);

// Mode 1: open dialog, the field gets the dialog's answer (empty when cancelled).
// Mode 0: save dialog; the answer + ".GHO" goes into the field, after an overwrite
// question when that file exists. Cancel leaves the field as it was.
void ChooseGhoFile(HWND owner, int mode, TextField& field, UserPrompt& prompt);

// The save dialog's answer as it reaches the field: ".GHO" is always appended, and an
// existing file is only taken when the user agrees to overwrite it.
void AcceptSavedGhoPath(const std::wstring& chosen, TextField& field, UserPrompt& prompt);

// The folder browser; the chosen file-system folder goes into the field. Cancel, or a
// choice that is not a file-system folder, changes nothing.
void ChooseDataFolder(TextField& field);

}  // namespace korvane

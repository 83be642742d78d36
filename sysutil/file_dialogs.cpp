#include "sysutil/file_dialogs.h"

#include "sysutil/system_function.h"
#include "sysutil/system_info.h"

namespace korvane {

namespace {

constexpr DWORD kPathChars = 260;

// Both modes share one description. The save dialog leaves out OFN_FILEMUSTEXIST:
// with it a backup could only be written over an image that already exists.
OPENFILENAMEW GhoDialogDescription(HWND owner, int mode, wchar_t* buffer) {
    static const wchar_t kFilter[] = L"GHO 镜像文件(*.GHO)\0*.gho\0";
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = kFilter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = buffer;
    ofn.nMaxFile = kPathChars;
    ofn.Flags = OFN_PATHMUSTEXIST | (mode == kGhoOpen ? OFN_FILEMUSTEXIST : 0);
    ofn.lpstrTitle = mode == kGhoOpen ? L"请选择GHO镜像文件" : L"请选择GHO镜像保存路径";
    return ofn;
}

using FileDialogFn = BOOL(WINAPI*)(OPENFILENAMEW*);

// comdlg32 is loaded when a file dialog is first shown, not with the program: it brings the
// print spooler's client along, which costs more at start-up than everything else the
// program loads (over 100 ms under Wine).
bool ShowFileDialog(const char* function, OPENFILENAMEW* description) {
    auto show = LoadedSystemFunction<FileDialogFn>(L"comdlg32.dll", function);
    return show && show(description) != FALSE;
}

class Win32ChooserDialogs : public ChooserDialogs {
  public:
    bool ShowOpen(OPENFILENAMEW* description) override {
        return ShowFileDialog("GetOpenFileNameW", description);
    }
    bool ShowSave(OPENFILENAMEW* description) override {
        return ShowFileDialog("GetSaveFileNameW", description);
    }
    PIDLIST_ABSOLUTE BrowseForFolder(BROWSEINFOW* description) override {
        return SHBrowseForFolderW(description);
    }
};

}  // namespace

ChooserDialogs& PlatformDialogs() {
    static Win32ChooserDialogs dialogs;
    return dialogs;
}

bool ShowGhoOpenDialog(HWND owner, std::wstring* path, ChooserDialogs& dialogs) {
    wchar_t buffer[kPathChars] = {};
    OPENFILENAMEW ofn = GhoDialogDescription(owner, kGhoOpen, buffer);
    bool chosen = dialogs.ShowOpen(&ofn);
    *path = chosen ? buffer : L"";
    return chosen;
}

void AcceptSavedGhoPath(const std::wstring& chosen, TextField& field, UserPrompt& prompt) {
    std::wstring path = chosen + L".GHO";
    if (!PathExists(path) || prompt.Ask(L"镜像文件已存在是否覆盖？", L"信息提示",
                                        MB_OKCANCEL | MB_ICONWARNING) == IDOK) {
        field.SetFieldText(path);
    }
}

void ChooseGhoFile(HWND owner, int mode, TextField& field, UserPrompt& prompt,
                   ChooserDialogs& dialogs) {
    if (mode == kGhoOpen) {
        std::wstring path;
        ShowGhoOpenDialog(owner, &path, dialogs);
        field.SetFieldText(path);
        return;
    }
    wchar_t buffer[kPathChars] = {};
    OPENFILENAMEW ofn = GhoDialogDescription(owner, kGhoSave, buffer);
    if (dialogs.ShowSave(&ofn)) {
        AcceptSavedGhoPath(buffer, field, prompt);
    }
}

void ChooseDataFolder(TextField& field, ChooserDialogs& dialogs) {
    BROWSEINFOW info = {};
    info.lpszTitle = L"请选择一个文件夹：\nPlease select a folder:";
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS;
    PIDLIST_ABSOLUTE item = dialogs.BrowseForFolder(&info);
    if (!item) {
        return;
    }
    wchar_t folder[MAX_PATH] = {};
    if (SHGetPathFromIDListW(item, folder)) {
        field.SetFieldText(folder);
    }
    CoTaskMemFree(item);
}

}  // namespace korvane

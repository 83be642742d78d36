#include "settings/settings_window.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <cstdlib>

#include "settings/download_folder.h"
#include "sysutil/main_window.h"
#include "sysutil/text_conversion.h"
#include "sysutil/unique_handle.h"

namespace korvane {

namespace {

constexpr wchar_t kDefaultSpeedLimit[] = L"100000";
constexpr int kSizeKeyCount = 10;  // one per catalogue edition

// Return only file-system folders and ancestors, in the resizable new-style dialog.
constexpr UINT kFolderBrowserFlags =
    BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS | BIF_NEWDIALOGSTYLE;
static_assert(kFolderBrowserFlags == 0x49);

// The next "\" after index from, stepping over double-byte characters: in code page 936 a
// trail byte may have the value of "\", which must not split a folder name.
size_t NextSeparator(const std::string& path, size_t from) {
    const char* start = path.c_str();
    for (const char* p = start + from; *p != '\0'; p = CharNextA(p)) {
        if (*p == '\\') {
            return static_cast<size_t>(p - start);
        }
    }
    return std::string::npos;
}

// Creates every missing folder of path, from the first below the drive root down. Nothing
// is created when the root itself is missing (a drive that is not there); failures are
// left to show up when the folder is used.
void CreateFolderChain(const std::string& path) {
    if (PathFileExistsA(path.c_str())) {
        return;
    }
    size_t root = NextSeparator(path, 0);
    if (root == std::string::npos || !PathFileExistsA(path.substr(0, root + 1).c_str())) {
        return;
    }
    for (size_t at = NextSeparator(path, root + 1); at != std::string::npos;
         at = NextSeparator(path, at + 1)) {
        std::string prefix = path.substr(0, at);
        if (!PathFileExistsA(prefix.c_str())) {
            CreateDirectoryA(prefix.c_str(), nullptr);
        }
    }
    if (!PathFileExistsA(path.c_str())) {
        CreateDirectoryA(path.c_str(), nullptr);
    }
}

// "C:\" on a usual system: images must not be downloaded to the system drive.
std::wstring SystemRoot() {
    wchar_t folder[MAX_PATH] = {};
    GetSystemDirectoryW(folder, MAX_PATH);
    return std::wstring(folder).substr(0, 3);
}

std::wstring TextOf(DuiLib::CControlUI* control) {
    return control ? control->GetText().Str() : std::wstring();
}

}  // namespace

void RestartProgram() {
    wchar_t program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    if (CreateProcessW(program, nullptr, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                       nullptr, &startup, &started)) {
        UniqueHandle process(started.hProcess);
        UniqueHandle thread(started.hThread);
    }
    std::exit(0);
}

CSet::CSet(const OptionsStore& options, std::wstring appDataFolder)
    : options_(options), appDataFolder_(std::move(appDataFolder)), dialogs_(&PlatformDialogs()) {}

CSet::~CSet() {
    // Deleted with its window still up (the modal loop never ran): the window procedure
    // must not reach this object afterwards.
    if (::IsWindow(m_hWnd)) {
        ::DestroyWindow(m_hWnd);
    }
}

void CSet::SetDialogs(ChooserDialogs* dialogs) {
    dialogs_ = dialogs ? dialogs : &PlatformDialogs();
}

void CSet::SetPrompt(UserPrompt* prompt) {
    prompt_ = prompt ? prompt : &ownPrompt_;
}

void CSet::SetRestartAction(std::function<void()> restart) {
    restart_ = std::move(restart);
}

DuiLib::CDuiString CSet::GetSkinFolder() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    return DuiLib::CDuiString(temp);
}

LRESULT CSet::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    BOOL handled = FALSE;
    switch (uMsg) {
        case WM_CREATE:
            result = OnCreate(uMsg, wParam, lParam, handled);
            break;
        case WM_SIZE:
            result = OnSize(uMsg, wParam, lParam, handled);
            break;
        case WM_NCHITTEST:
            result = OnNcHitTest(uMsg, wParam, lParam, handled);
            break;
        case WM_KEYDOWN:
            result = OnKeyDown(wParam, handled);
            break;
        default:
            break;
    }
    if (handled) {
        return result;
    }
    if (m_PaintManager.MessageHandler(uMsg, wParam, lParam, result)) {
        return result;
    }
    return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

LRESULT CSet::OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    (void)uMsg;
    (void)wParam;
    (void)lParam;
    LONG_PTR style = ::GetWindowLongPtrW(m_hWnd, GWL_STYLE);
    style = (style & ~static_cast<LONG_PTR>(WS_CAPTION)) | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, style);
    ownPrompt_.SetOwner(m_hWnd);

    m_PaintManager.Init(m_hWnd);
    DuiLib::CDialogBuilder builder;
    DuiLib::CControlUI* root = builder.Create(L"UIQV_Set.xml", nullptr, nullptr, &m_PaintManager);
    if (root) {
        m_PaintManager.AttachDialog(root);
    }
    m_PaintManager.AddNotifier(this);

    speedEdit_ = static_cast<DuiLib::CEditUI*>(m_PaintManager.FindControl(L"speed_edit"));
    folderEdit_ = static_cast<DuiLib::CEditUI*>(m_PaintManager.FindControl(L"pathset_edit"));
    folderButton_ = m_PaintManager.FindControl(L"pathset_btn");
    if (folderEdit_) {
        folderEdit_->SetText(DownloadFolder().c_str());
    }
    bHandled = TRUE;
    return 0;
}

// Enter saves; every key-down stops here, so none reaches the page or the default handling.
LRESULT CSet::OnKeyDown(WPARAM key, BOOL& bHandled) {
    if (key == VK_RETURN) {
        Save();
    }
    bHandled = TRUE;
    return 0;
}

void CSet::Notify(DuiLib::TNotifyUI& msg) {
    if (msg.sType != DUI_MSGTYPE_CLICK || msg.pSender == nullptr) {
        return;
    }
    DuiLib::CDuiString name = msg.pSender->GetName();
    if (name == L"close_btn" || name == L"cannel_btn") {
        Close(0);  // everything already took effect; nothing to undo
    } else if (name == L"on_btn") {
        Save();
    } else if (name == L"cq_btn") {
        if (restart_) {
            restart_();
        } else {
            RestartProgram();
        }
    } else if (msg.pSender == folderButton_) {
        ChooseFolder();
    }
}

void CSet::CreateAppDataFolder() const {
    CreateDirectoryW(appDataFolder_.c_str(), nullptr);  // usually there already
}

// The folder takes effect for downloads at once; Set/Dir keeps it as typed for the next
// start. The partial-download sizes refer to the old folder and are forgotten.
void CSet::Save() {
    if (folderEdit_ == nullptr) {
        return;  // a page that did not build must not blank the stored folder
    }
    std::wstring folder = TextOf(folderEdit_);
    CreateAppDataFolder();
    SetDownloadFolder(TrimFolderValue(folder));
    CreateFolderChain(WideToAnsi(folder));
    options_.WriteOption(L"Set", L"Dir", folder);
    for (int n = 1; n <= kSizeKeyCount; ++n) {
        options_.WriteOption(L"Download", L"Size" + std::to_wstring(n), L"");
    }
    std::wstring limit = TextOf(speedEdit_);
    if (limit.empty()) {
        limit = kDefaultSpeedLimit;
    }
    // The main window applies the limit; a settings window opened on its own tells its owner.
    HWND receiver = MainWindowHandle() ? MainWindowHandle() : ::GetWindow(m_hWnd, GW_OWNER);
    ::SendMessageW(receiver, kSpeedLimitMessage, reinterpret_cast<WPARAM>(limit.c_str()), 0);
}

void CSet::ChooseFolder() {
    BROWSEINFOW info = {};
    info.lpszTitle = L"请选择一个文件夹：\nPlease select a folder:";
    info.ulFlags = kFolderBrowserFlags;
    PIDLIST_ABSOLUTE item = dialogs_->BrowseForFolder(&info);
    if (item == nullptr) {
        return;
    }
    wchar_t folder[MAX_PATH] = {};
    BOOL isFileSystemFolder = SHGetPathFromIDListW(item, folder);
    CoTaskMemFree(item);
    if (isFileSystemFolder) {
        AcceptPickedFolder(folder);
    }
}

// Only the dialog guards the system drive; a typed folder is taken as it is.
void CSet::AcceptPickedFolder(const std::wstring& folder) {
    if (folder.find(SystemRoot()) != std::wstring::npos) {
        prompt_->Ask(L"下载路径不能为系统盘，请重新选择下载路径", L"信息提示", MB_ICONERROR);
        return;
    }
    if (folderEdit_) {
        folderEdit_->SetText(folder.c_str());
    }
    CreateAppDataFolder();
    SetDownloadFolder(TrimFolderValue(folder));
    options_.WriteOption(L"Download", L"Path", DownloadFolder());
}

}  // namespace korvane

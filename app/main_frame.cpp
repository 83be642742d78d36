#include "app/main_frame.h"

#include <shellapi.h>
#include <windowsx.h>

#include <iterator>

#include "app/page_controls.h"
#include "reinstall/editions.h"
#include "reinstall/image_catalogue.h"
#include "settings/download_folder.h"
#include "software/software_catalogue.h"
#include "sysutil/job_log.h"
#include "sysutil/main_window.h"
#include "sysutil/worker_thread.h"

namespace korvane {

namespace {

bool IsOneOf(const DuiLib::CDuiString& name, std::initializer_list<const wchar_t*> names) {
    for (const wchar_t* candidate : names) {
        if (name == candidate) {
            return true;
        }
    }
    return false;
}

// "Soft1_Btn" … "Soft16_Btn".
bool IsSoftwareButtonName(const std::wstring& name) {
    for (int number = 1; number <= kSoftwareButtonCount; ++number) {
        if (name == L"Soft" + std::to_wstring(number) + L"_Btn") {
            return true;
        }
    }
    return false;
}

}  // namespace

CMainFrame::CMainFrame(std::wstring systemDrive, std::wstring appDataFolder, UserPrompt* prompt)
    : systemDrive_(std::move(systemDrive)),
      appDataFolder_(std::move(appDataFolder)),
      options_(GetOptionsFilePath(appDataFolder_)),
      servers_(LoadServerAddresses(options_)),
      loggedPrompt_(prompt ? *prompt : prompt_),
      activePrompt_(loggedPrompt_),
      jobs_(std::make_unique<SystemImageJobs>(systemDrive_, appDataFolder_, activePrompt_, runner_,
                                              volumes_, preflight_)),
      downloads_(appDataFolder_, activePrompt_),
      online_(std::make_unique<OnlineDownload>(controls_, downloads_, activePrompt_, options_,
                                               appDataFolder_, systemDrive_, machine_,
                                               [this](const std::wstring& imagePath) {
                                                   RunImageJob(ImageJob::kReinstall, imagePath);
                                               })) {}

LRESULT CMainFrame::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    switch (uMsg) {
        case WM_CREATE:
            return OnCreate();
        case WM_NCHITTEST:
            return OnNcHitTest(lParam);
        case WM_DESTROY:
            // However the window goes, the program ends with it; the logo must stop turning
            // before its label goes.
            logo_.Stop();
            PostQuitMessage(0);
            return 0;
        case kTrayCallbackMessage:
            OnTrayCallback(lParam);
            break;  // and on to the default handling
        case kReinstallRequestMessage:
            RunImageJob(ImageJob::kReinstall, online_->ImagePath());
            return 0;
        case kSpeedLimitMessage:
            return downloads_.ApplySpeedLimit(wParam ? reinterpret_cast<const wchar_t*>(wParam)
                                                     : L"");
        case kMenuCommandMessage:
            OnMenuCommand(reinterpret_cast<DuiLib::CDuiString*>(wParam));
            return 0;
        default:
            break;
    }
    LRESULT result = 0;
    if (m_pm.MessageHandler(uMsg, wParam, lParam, result)) {
        return result;
    }
    return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

LRESULT CMainFrame::OnCreate() {
    LONG_PTR style = GetWindowLongPtrW(m_hWnd, GWL_STYLE);
    style = (style & ~WS_CAPTION) | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    SetWindowLongPtrW(m_hWnd, GWL_STYLE, style);
    prompt_.SetOwner(m_hWnd);

    m_pm.Init(m_hWnd);
    DuiLib::CDialogBuilder builder;
    CDialogBuilderCallbackEx callback;
    DuiLib::CControlUI* root =
        builder.Create(L"UIQV_MainFrame.xml", nullptr, &callback, &m_pm, nullptr);
    if (root) {
        m_pm.AttachDialog(root);
    }
    // Looked up again by InitMainWindow; a window used without it (as tests do) still knows
    // its controls.
    controls_.LookUp(m_pm);
    m_pm.AddNotifier(this);
    return 0;
}

// The top band of the skin is the title bar: pressing on a plain label or picture there
// drags the window, pressing on something the user works with does not.
LRESULT CMainFrame::OnNcHitTest(LPARAM lParam) {
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ScreenToClient(m_hWnd, &pt);
    RECT client = {};
    GetClientRect(m_hWnd, &client);
    const RECT& caption = m_pm.GetCaptionRect();
    if (pt.x < client.left + caption.left || pt.x >= client.right - caption.right ||
        pt.y < caption.top || pt.y >= caption.bottom) {
        return HTCLIENT;
    }
    DuiLib::CControlUI* control = m_pm.FindControl(pt);
    if (!control) {
        return HTCLIENT;
    }
    LPCTSTR cls = control->GetClass();
    for (const wchar_t* interactive : {L"ButtonUI", L"OptionUI", L"TextUI", L"EditUI"}) {
        if (wcscmp(cls, interactive) == 0) {
            return HTCLIENT;
        }
    }
    return HTCAPTION;
}

void CMainFrame::RunImageJob(ImageJob job, const std::wstring& imagePath) {
    if (imageJobObserver_) {
        imageJobObserver_(job, imagePath);
    }
    switch (job) {
        case ImageJob::kBackup:
            jobs_->RunSystemBackup(imagePath);
            break;
        case ImageJob::kRestore:
            jobs_->RunSystemRestore(imagePath);
            break;
        case ImageJob::kReinstall:
            jobs_->RunSystemReinstall(imagePath);
            break;
    }
}

bool CMainFrame::ShowTrayIcon() {
#if !defined(_WIN64)
    static_assert(sizeof(TrayIconRecord) == 956);
#endif
    m_tray = {};
    NOTIFYICONDATAW& icon = m_tray.data;
    icon.cbSize = sizeof(m_tray);
    icon.hWnd = m_hWnd;
    icon.uID = kProgramIcon;
    icon.uFlags = NIF_TIP;
    if (Shell_NotifyIconW(NIM_MODIFY, &icon)) {
        return false;  // already up
    }
    lstrcpynW(icon.szInfoTitle, L"信息提示", 8);
    lstrcpynW(icon.szInfo, L"点击这里打开Korvane一键重装系统工具界面！", 256);
    icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO;
    icon.uCallbackMessage = kTrayCallbackMessage;
    icon.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kProgramIcon));
    Shell_NotifyIconW(NIM_ADD, &icon);
    return true;
}

void CMainFrame::OnTrayCallback(LPARAM lParam) {
    if (lParam == WM_LBUTTONDOWN) {
        ShowWindow(true, true);
        Shell_NotifyIconW(NIM_DELETE, &m_tray.data);
    }
}

void CMainFrame::OnMenuCommand(DuiLib::CDuiString* text) {
    std::unique_ptr<DuiLib::CDuiString> owned(text);  // the menu hands the text over
    if (owned && IsOneOf(*owned, {L"visithomepage", L"getupdata", L"about", L"about1"})) {
        opener_->OpenPage(servers_.homePage);
    }
}

void CMainFrame::InitMainWindow() {
    PrepareFirstFrame();
    StartJobs();
}

void CMainFrame::PrepareFirstFrame() {
    SetMainWindowHandle(m_hWnd);  // the edition index starts at -1 in the download side
    controls_.LookUp(m_pm);
    controls_.SetControlEnabled(kStartButton, false);
    controls_.SelectWizardStep(0);
}

void CMainFrame::StartJobs() {
    CreateDirectoryW(appDataFolder_.c_str(), nullptr);  // usually there already
    OpenJobLog(appDataFolder_);
    const std::wstring storedFolder = options_.ReadOption(L"Set", L"Dir");
    SystemDriveSource drives;
    const std::wstring backupRoot = DefaultDataRoot(drives, systemDrive_);
    LoadDownloadFolder(options_, drives, systemDrive_);
    SetDefaultBackupPaths(backupRoot, storedFolder);
    controls_.SetControlTag(L"StopDown_Btn", 0);
    logo_.Start();
    StartImageCatalogue();
    StartSoftwareCatalogue();
    ShowUnfinishedDownloads();
}

// The image and folder fields of the two backup pages start under the backup root; the
// restore field starts at the download folder the user chose, where images usually are.
void CMainFrame::SetDefaultBackupPaths(const std::wstring& root, const std::wstring& storedFolder) {
    controls_.SetControlText(L"BackUpPath_Edit", root + L"QMZSysBak\\SYSBAK.GHO");
    controls_.SetControlText(L"RestorePath_Edit", storedFolder.empty() ? root : storedFolder);
    controls_.SetControlText(L"BackUpDocPath_Edit", root + L"QMZDocBak\\Documents");
    controls_.SetControlText(L"RestoreDocPath_Edit", root + L"QMZDocBak\\Documents");
}

void CMainFrame::EndJobs() {
    online_->Close();
}

void CMainFrame::StartImageCatalogue() {
    StartWorkerThread(
        [this] {
            FetchImageCatalogue({controls_, activePrompt_, machine_, *opener_, os_, appDataFolder_,
                                 servers_.imageCatalogue, servers_.pePage});
        },
        [this] { activePrompt_.Ask(kCatalogueFailedMessage, L"信息提示", MB_ICONERROR); });
}

// The software page fills itself when its catalogue arrives; a failed fetch says nothing.
void CMainFrame::StartSoftwareCatalogue() {
    StartWorkerThread(
        [this] {
            FetchSoftwareCatalogue({controls_, appDataFolder_, servers_.softwareCatalogue});
        },
        [] {});
}

// The personal-data copy, after the user agreed and named a folder; it runs in its own
// modal progress window.
void CMainFrame::RunPersonalDataJob(int direction) {
    const bool backup = direction == 0;
    if (activePrompt_.Ask(backup ? L"您确定要备份个人资料吗？" : L"您确定要还原个人资料吗？",
                          L"信息提示", MB_OKCANCEL | MB_ICONINFORMATION) != IDOK) {
        return;
    }
    if (controls_.EditText(backup ? L"BackUpDocPath_Edit" : L"RestoreDocPath_Edit").empty()) {
        activePrompt_.Ask(L"请选择一个备份路径！", L"信息提示", MB_ICONERROR);
        return;
    }
    dataJobWindows_.push_back(std::make_unique<CBackUpAndRestoreProgress>(
        m_hWnd, &controls_, direction, dataJobEnvironment_));
    dataJobWindows_.back()->ShowModal();
}

void CMainFrame::OpenSettingsWindow() {
    CSet settings(options_, appDataFolder_);
    settings.Create(m_hWnd, L"Korvane设置", 0x80081, 0);
    settings.ShowModal();
}

// The editions whose download was begun in an earlier run, by their recorded amounts.
void CMainFrame::ShowUnfinishedDownloads() {
    for (int index = 1; index <= kEditionCount; ++index) {
        const Edition& edition = *EditionByIndex(index);
        const std::wstring amount = options_.ReadOption(kDownloadSection, SizeKeyOf(edition));
        if (amount.empty()) {
            continue;
        }
        controls_.SetControlText(EditionTipLabelOf(edition), L"已下载" + amount);
        controls_.ShowControl(EditionTipLabelOf(edition), true);
        controls_.SetControlText(FamilyTipLabelOf(edition), L"有未完下载");
        controls_.ShowControl(FamilyTipLabelOf(edition), true);
    }
}

void CMainFrame::OnClose() {
    if (online_->DownloadStarted() &&
        activePrompt_.Ask(L"正在下载安装系统，是否退出？", L"Korvane一键重装系统",
                          MB_YESNO | MB_ICONINFORMATION) != IDYES) {
        return;
    }
    PostQuitMessage(0);
}

// The clicks of the main tabs, the title buttons, the backup pages and the reinstall wizard,
// row by row; a click matches at most one row, and one that matches none does nothing.
// "is" rows compare the sender with the control looked up under that name, the others the
// sender's name.
void CMainFrame::Notify(DuiLib::TNotifyUI& msg) {
    if (msg.sType != L"click" || !msg.pSender) {
        return;
    }
    DuiLib::CControlUI* sender = msg.pSender;
    const DuiLib::CDuiString name = sender->GetName();
    auto is = [&](const wchar_t* looked) { return sender == controls_.Find(looked); };

    if (const Edition* edition = EditionByOption(name.GetData())) {
        online_->ChooseEdition(edition->index);
    } else if (IsOneOf(name, {L"close11_btn", L"close3_btn"})) {
        OnClose();
    } else if (is(L"SelectBackUpDoc_Btn")) {
        ControlField field(controls_, L"BackUpDocPath_Edit");
        ChooseDataFolder(field, *dialogs_);
    } else if (is(L"SelectRestoreDoc_Btn")) {
        ControlField field(controls_, L"RestoreDocPath_Edit");
        ChooseDataFolder(field, *dialogs_);
    } else if (name == L"close1_btn") {
        controls_.SelectMainTab(0);
    } else if (IsOneOf(name, {L"min1_btn", L"min2_btn", L"min3_btn"})) {
        ShowWindow(false, false);
        ShowTrayIcon();
    } else if (IsOneOf(name, {L"set1_btn", L"set2_btn", L"set3_btn"})) {
        OpenSettingsWindow();
    } else if (name == L"url1_btn") {
        OpenMenu(sender);
    } else if (IsOneOf(name, {L"StartziliaoBF0_Btn", L"StartziliaoBF1_Btn", L"StartziliaoBF2_Btn",
                              L"StartziliaoBF3_Btn", L"StartziliaoBF4_Btn"})) {
        controls_.SelectMainTab(3);
    } else if (name == L"StartRestoreSystem1_Btn") {
        controls_.SelectMainTab(0);
        controls_.SelectWizardStep(1);
    } else if (is(kStartButton)) {
        controls_.SelectMainTab(0);
        controls_.SelectWizardStep(2);
    } else if (is(L"BackToStep1_Btn")) {
        controls_.SelectWizardStep(0);
    } else if (IsOneOf(name,
                       {L"DownloadSystem1_Btn", L"DownloadSystem2_Btn", L"DownloadSystem3_Btn"})) {
        online_->RequestDownload(DownloadFolder());
    } else if (int tab = MainTabOptionOf(sender); tab >= 0) {
        controls_.SelectMainTab(tab);
    } else if (is(L"StartBackUpDoc_Btn")) {
        RunPersonalDataJob(0);
    } else if (is(L"StartRestoreDoc_Btn")) {
        RunPersonalDataJob(1);
    } else if (is(L"StartBackUp_Btn")) {
        RunImageJob(ImageJob::kBackup, controls_.EditText(L"BackUpPath_Edit"));
    } else if (is(L"StartRestore_Btn")) {
        RunImageJob(ImageJob::kRestore, controls_.EditText(L"RestorePath_Edit"));
    } else if (IsSoftwareButtonName(name.GetData())) {
        OpenSoftwareTarget(sender->GetUserData().GetData(), *opener_);
    } else if (is(L"SelectBackUpGho_Btn")) {
        ControlField field(controls_, L"BackUpPath_Edit");
        ChooseGhoFile(m_hWnd, kGhoSave, field, activePrompt_, *dialogs_);
    } else if (is(L"SelectRestoreGho_Btn")) {
        ControlField field(controls_, L"RestorePath_Edit");
        ChooseGhoFile(m_hWnd, kGhoOpen, field, activePrompt_, *dialogs_);
    } else if (name == L"LOCAL_Op") {
        RestoreLocalImage();
    } else if (is(L"StopDown_Btn")) {
        online_->TogglePause();
    } else if (is(L"ReChoose_Btn")) {
        online_->ReChoose();
    } else if (IsOneOf(name, {L"xp_btn", L"win7_btn", L"win10_btn"})) {
        controls_.SelectWizardStep(name == L"xp_btn" ? 2 : name == L"win7_btn" ? 3 : 4);
    } else if (IsOneOf(name, {L"back1_btn", L"back2_btn", L"back3_btn"})) {
        controls_.SelectWizardStep(1);
    } else if (name == L"selectsys_btn") {
        controls_.SelectMainTab(0);
    }
}

// 0 .. 3 when the control is one of the looked-up tab options, otherwise -1.
int CMainFrame::MainTabOptionOf(DuiLib::CControlUI* control) const {
    for (int tab = 0; tab < static_cast<int>(std::size(kMainTabOptions)); ++tab) {
        if (control == controls_.Find(kMainTabOptions[tab])) {
            return tab;
        }
    }
    return -1;
}

// The title band's menu, under the menu button's bottom-left corner; its items come back as
// the menu command message.
void CMainFrame::OpenMenu(DuiLib::CControlUI* button) {
    const RECT& pos = button->GetPos();
    POINT anchor = {pos.left, pos.bottom};
    ClientToScreen(m_hWnd, &anchor);
    auto* menu = new DuiLib::CMenuWnd();  // deletes itself when it closes
    menu->Init(nullptr, L"FileMenu.xml", anchor, m_hWnd);
}

// A restore from an image the user picks on the disk; cancelling picks nothing.
void CMainFrame::RestoreLocalImage() {
    std::wstring path;
    if (ShowGhoOpenDialog(m_hWnd, &path, *dialogs_)) {
        RunImageJob(ImageJob::kRestore, path);
    }
}

}  // namespace korvane

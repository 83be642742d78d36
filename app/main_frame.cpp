#include "app/main_frame.h"

#include <shellapi.h>
#include <windowsx.h>

#include "app/page_controls.h"

namespace korvane {

namespace {

// The skin's tab options, in the order of the main tab's pages.
constexpr const wchar_t* kMainTabOptions[] = {L"ZadOdiReloadOp", L"BackUpAndRestoreOp",
                                              L"SoftwareManagementOp", L"DataBackupOp"};

bool IsOneOf(const DuiLib::CDuiString& name, std::initializer_list<const wchar_t*> names) {
    for (const wchar_t* candidate : names) {
        if (name == candidate) {
            return true;
        }
    }
    return false;
}

}  // namespace

CMainFrame::CMainFrame(std::wstring systemDrive, std::wstring appDataFolder, UserPrompt* prompt)
    : systemDrive_(std::move(systemDrive)),
      appDataFolder_(std::move(appDataFolder)),
      activePrompt_(prompt ? *prompt : prompt_),
      jobs_(std::make_unique<SystemImageJobs>(systemDrive_, appDataFolder_, activePrompt_, runner_,
                                              volumes_)),
      downloads_(appDataFolder_, activePrompt_),
      openUrl_([](const wchar_t* url) {
          ShellExecuteW(nullptr, L"open", url, nullptr, nullptr, SW_SHOW);
      }) {}

LRESULT CMainFrame::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    switch (uMsg) {
        case WM_CREATE:
            return OnCreate();
        case WM_NCHITTEST:
            return OnNcHitTest(lParam);
        case WM_DESTROY:
            // However the window goes, the program ends with it.
            PostQuitMessage(0);
            return 0;
        case kTrayCallbackMessage:
            OnTrayCallback(lParam);
            break;  // and on to the default handling
        case kReinstallRequestMessage: {
            std::wstring path = imagePath_;
            if (reinstallObserver_) {
                reinstallObserver_(path);
            }
            RunSystemReinstall(path);
            return 0;
        }
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
        openUrl_(kHomePage);
    }
}

void CMainFrame::SelectMainTab(int index) {
    auto* tab = static_cast<DuiLib::CTabLayoutUI*>(m_pm.FindControl(L"MainTab"));
    if (tab) {
        tab->SelectItem(index);
    }
}

// The main tabs and the title buttons; the wizard's own buttons are dispatched by the
// wizard controller.
void CMainFrame::Notify(DuiLib::TNotifyUI& msg) {
    if (msg.sType != L"click" || !msg.pSender) {
        return;
    }
    DuiLib::CDuiString name = msg.pSender->GetName();
    for (int i = 0; i < 4; ++i) {
        if (name == kMainTabOptions[i]) {
            SelectMainTab(i);
            return;
        }
    }
    if (IsOneOf(name, {L"close11_btn", L"close3_btn"})) {
        PostQuitMessage(0);
    } else if (IsOneOf(name, {L"min1_btn", L"min2_btn", L"min3_btn"})) {
        ShowWindow(false, false);
        ShowTrayIcon();
    }
}

}  // namespace korvane

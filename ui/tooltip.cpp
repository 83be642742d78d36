#include "ui/tooltip.h"

#include <commctrl.h>

#include <mutex>

#include "ui/paint_manager.h"
#include "sysutil/system_function.h"

namespace DuiLib {

ToolTip::~ToolTip() {
    Destroy();
}

namespace {

// The one tool of the tip: the owner window, its text kept by the caller.
TOOLINFOW ToolOf(HWND owner, std::wstring& text) {
    TOOLINFOW ti = {};
    ti.cbSize = TTTOOLINFOW_V2_SIZE;  // understood by every comctl32 since XP
    ti.uFlags = TTF_SUBCLASS;
    ti.hwnd = owner;
    ti.uId = 1;
    ti.lpszText = text.data();
    return ti;
}

}  // namespace

bool ToolTip::Create() {
    static std::once_flag once;
    std::call_once(once, [] {
        // comctl32 is loaded with the first tip rather than with the program: loading it
        // is among the dearest steps of start-up under Wine's XP setting (30 to 200 ms).
        using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
        auto init = korvane::LoadedSystemFunction<InitFn>(L"comctl32.dll", "InitCommonControlsEx");
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
        if (init)
            init(&icc);
    });
    m_tip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                              WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, m_owner, nullptr,
                              CPaintManagerUI::GetInstance(), nullptr);
    if (m_tip == nullptr)
        return false;
    m_text.clear();
    TOOLINFOW ti = ToolOf(m_owner, m_text);
    ::SendMessageW(m_tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    ::SendMessageW(m_tip, TTM_SETMAXTIPWIDTH, 0, 400);
    return true;
}

void ToolTip::Show(const std::wstring& text, const RECT& area) {
    if (text.empty() && m_tip == nullptr)
        return;
    if (m_tip == nullptr && !Create())
        return;
    m_text = text;
    TOOLINFOW ti = ToolOf(m_owner, m_text);
    ti.rect = area;
    ::SendMessageW(m_tip, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&ti));
    ::SendMessageW(m_tip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
    ::SendMessageW(m_tip, TTM_ACTIVATE, text.empty() ? FALSE : TRUE, 0);
}

void ToolTip::Relay(UINT uMsg, WPARAM wParam, LPARAM lParam, POINT pt) {
    if (m_tip == nullptr)
        return;
    MSG relay = {m_owner, uMsg, wParam, lParam, 0, {pt.x, pt.y}};
    ::SendMessageW(m_tip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relay));
}

void ToolTip::Destroy() {
    if (m_tip) {
        ::DestroyWindow(m_tip);
        m_tip = nullptr;
    }
}

}  // namespace DuiLib

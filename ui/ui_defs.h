// Shared declarations of the DuiLib framework: window styles, notification record, the
// receiver interfaces and the lock that guards control properties across threads.
#pragma once

#include <windows.h>

#include "ui/core/dui_string.h"

namespace DuiLib {

class CControlUI;
class CPaintManagerUI;

#define UI_WNDSTYLE_CONTAINER (0)
#define UI_WNDSTYLE_FRAME (WS_VISIBLE | WS_OVERLAPPEDWINDOW)
#define UI_WNDSTYLE_CHILD (WS_VISIBLE | WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN)
#define UI_WNDSTYLE_DIALOG \
    (WS_VISIBLE | WS_POPUPWINDOW | WS_CAPTION | WS_DLGFRAME | WS_CLIPSIBLINGS | WS_CLIPCHILDREN)
#define UI_WNDSTYLE_EX_FRAME (WS_EX_WINDOWEDGE)
#define UI_WNDSTYLE_EX_DIALOG (WS_EX_TOOLWINDOW | WS_EX_DLGMODALFRAME)
#define UI_CLASSSTYLE_CONTAINER (0)
#define UI_CLASSSTYLE_FRAME (CS_VREDRAW | CS_HREDRAW)
#define UI_CLASSSTYLE_CHILD (CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_SAVEBITS)
#define UI_CLASSSTYLE_DIALOG (CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_SAVEBITS)

// Message a pop-up menu posts to its owner when an item is chosen. wParam is a new
// CDuiString* with the item's user data (the receiver deletes it), lParam is 0.
constexpr UINT WM_MENUCLICK = WM_USER + 121;

// Notification types.
#define DUI_MSGTYPE_CLICK L"click"
#define DUI_MSGTYPE_SELECTCHANGED L"selectchanged"
#define DUI_MSGTYPE_TABSELECT L"tabselect"
#define DUI_MSGTYPE_SETFOCUS L"setfocus"
#define DUI_MSGTYPE_KILLFOCUS L"killfocus"
#define DUI_MSGTYPE_TEXTCHANGED L"textchanged"
#define DUI_MSGTYPE_RETURN L"return"
#define DUI_MSGTYPE_WINDOWINIT L"windowinit"
#define DUI_MSGTYPE_MENU L"menu"
#define DUI_MSGTYPE_ITEMCLICK L"itemclick"

struct TNotifyUI {
    CDuiString sType;
    CDuiString sVirtualWnd;
    CControlUI* pSender = nullptr;
    DWORD dwTimestamp = 0;
    POINT ptMouse = {0, 0};
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

class INotifyUI {
  public:
    virtual void Notify(TNotifyUI& msg) = 0;

  protected:
    ~INotifyUI() = default;
};

// Sees every message of a paint manager's window before the controls do.
class IMessageFilterUI {
  public:
    virtual LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) = 0;

  protected:
    ~IMessageFilterUI() = default;
};

// Internal input events handed to controls.
enum EventType {
    UIEVENT_MOUSEMOVE = 1,
    UIEVENT_MOUSELEAVE,
    UIEVENT_MOUSEENTER,
    UIEVENT_BUTTONDOWN,
    UIEVENT_BUTTONUP,
    UIEVENT_DBLCLICK,
    UIEVENT_RBUTTONDOWN,
    UIEVENT_SETFOCUS,
    UIEVENT_KILLFOCUS,
    UIEVENT_SETCURSOR,
    UIEVENT_TIMER,
    UIEVENT_KEYDOWN,
};

struct TEventUI {
    int Type = 0;
    CControlUI* pSender = nullptr;
    DWORD dwTimestamp = 0;
    POINT ptMouse = {0, 0};
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// One process-wide lock for control properties. Workers set texts, images and values
// while the UI thread paints; both sides hold it only to copy a value in or out, never
// while calling into Win32 or other controls, so it cannot deadlock.
class UiPropertyLock {
  public:
    UiPropertyLock();
    ~UiPropertyLock();
    UiPropertyLock(const UiPropertyLock&) = delete;
    UiPropertyLock& operator=(const UiPropertyLock&) = delete;
};

// True on the thread that created the framework's first window (the UI thread).
bool IsUiThread();

}  // namespace DuiLib

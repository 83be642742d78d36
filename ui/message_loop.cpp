// The process's message loop, where the filters of a window's paint manager see its key
// messages before they are translated and dispatched.
#include "ui/manager_registry.h"
#include "ui/paint_manager.h"

namespace DuiLib {

void CPaintManagerUI::MessageLoop() {
    MSG msg = {};
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!TranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

bool CPaintManagerUI::TranslateMessage(const LPMSG pMsg) {
    if (pMsg->message < WM_KEYFIRST || pMsg->message > WM_KEYLAST)
        return false;
    for (CPaintManagerUI* pm : registry::FilteringManagersOf(pMsg->hwnd)) {
        LRESULT ignored = 0;
        if (pm->RunMessageFilters(pMsg->message, pMsg->wParam, pMsg->lParam, ignored))
            return true;
    }
    return false;
}

}  // namespace DuiLib

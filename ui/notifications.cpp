// A window's receivers: notifiers get the controls' notifications (clicks, selection, ...),
// message filters see every window message before the controls do.
#include "ui/paint_manager.h"

namespace DuiLib {

bool CPaintManagerUI::AddNotifier(INotifyUI* pNotifier) {
    return m_notifiers.Add(pNotifier);
}

bool CPaintManagerUI::RemoveNotifier(INotifyUI* pNotifier) {
    return m_notifiers.Remove(pNotifier);
}

void CPaintManagerUI::SendNotify(CControlUI* pControl, LPCTSTR pstrMessage, WPARAM wParam,
                                 LPARAM lParam) {
    TNotifyUI msg;
    msg.pSender = pControl;
    msg.sType = pstrMessage;
    msg.wParam = wParam;
    msg.lParam = lParam;
    SendNotify(msg);
}

void CPaintManagerUI::SendNotify(TNotifyUI& Msg) {
    Msg.dwTimestamp = ::GetTickCount();
    ::GetCursorPos(&Msg.ptMouse);
    if (m_hWndPaint)
        ::ScreenToClient(m_hWndPaint, &Msg.ptMouse);
    for (INotifyUI* n : m_notifiers.Snapshot())
        n->Notify(Msg);
}

bool CPaintManagerUI::AddMessageFilter(IMessageFilterUI* pFilter) {
    return m_filters.Add(pFilter);
}

bool CPaintManagerUI::RemoveMessageFilter(IMessageFilterUI* pFilter) {
    return m_filters.Remove(pFilter);
}

bool CPaintManagerUI::RunMessageFilters(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    if (m_filters.Empty())
        return false;
    for (IMessageFilterUI* filter : m_filters.Snapshot()) {
        bool handled = false;
        LRESULT r = filter->MessageHandler(uMsg, wParam, lParam, handled);
        if (handled) {
            lRes = r;
            return true;
        }
    }
    return false;
}

}  // namespace DuiLib

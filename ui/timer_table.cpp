#include "ui/timer_table.h"

#include <atomic>

namespace DuiLib {

namespace {
std::atomic<UINT_PTR> g_nextTimerId{0x4B00};
}  // namespace

TimerTable::~TimerTable() {
    Clear();
}

bool TimerTable::Set(CControlUI* control, UINT localId, UINT elapseMs) {
    if (m_hWnd == nullptr || control == nullptr)
        return false;
    UINT_PTR winId = 0;
    for (auto& t : m_timers) {
        if (t.second.control == control && t.second.localId == localId)
            winId = t.first;
    }
    if (winId == 0)
        winId = g_nextTimerId.fetch_add(1);
    if (::SetTimer(m_hWnd, winId, elapseMs, nullptr) == 0)
        return false;
    m_timers[winId] = Timer{control, localId};
    return true;
}

bool TimerTable::Kill(CControlUI* control, UINT localId) {
    for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
        if (it->second.control == control && it->second.localId == localId) {
            if (m_hWnd)
                ::KillTimer(m_hWnd, it->first);
            m_timers.erase(it);
            return true;
        }
    }
    return false;
}

void TimerTable::KillAll(CControlUI* control) {
    for (auto it = m_timers.begin(); it != m_timers.end();) {
        if (it->second.control == control) {
            if (m_hWnd)
                ::KillTimer(m_hWnd, it->first);
            it = m_timers.erase(it);
        } else {
            ++it;
        }
    }
}

void TimerTable::Clear() {
    for (auto& timer : m_timers) {
        if (::IsWindow(m_hWnd))
            ::KillTimer(m_hWnd, timer.first);
    }
    m_timers.clear();
}

const TimerTable::Timer* TimerTable::Find(UINT_PTR winId) const {
    auto it = m_timers.find(winId);
    return it == m_timers.end() ? nullptr : &it->second;
}

}  // namespace DuiLib

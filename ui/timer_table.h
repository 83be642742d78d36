// Timers of the controls of one window: each (control, control's own id) pair gets a
// process-unique Win32 timer id on the window, so WM_TIMER finds its control again.
#pragma once

#include <windows.h>

#include <map>

#include "ui/ui_defs.h"

namespace DuiLib {

class TimerTable {
  public:
    struct Timer {
        CControlUI* control;
        UINT localId;
    };

    TimerTable() = default;
    ~TimerTable();
    TimerTable(const TimerTable&) = delete;
    TimerTable& operator=(const TimerTable&) = delete;

    void Attach(HWND hWnd) { m_hWnd = hWnd; }
    // Starts or restarts the control's timer.
    bool Set(CControlUI* control, UINT localId, UINT elapseMs);
    bool Kill(CControlUI* control, UINT localId);
    void KillAll(CControlUI* control);
    // Stops every timer (the window goes).
    void Clear();
    // The timer of a WM_TIMER id, or null when it is not one of ours.
    const Timer* Find(UINT_PTR winId) const;

  private:
    HWND m_hWnd = nullptr;
    std::map<UINT_PTR, Timer> m_timers;  // by Win32 timer id
};

}  // namespace DuiLib

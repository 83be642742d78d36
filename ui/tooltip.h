// The tooltip of one window: a common-controls tip over the hovered control's rectangle,
// made the first time a control with a tooltip text is hovered.
#pragma once

#include <windows.h>

#include <string>

namespace DuiLib {

class ToolTip {
  public:
    ToolTip() = default;
    ~ToolTip();
    ToolTip(const ToolTip&) = delete;
    ToolTip& operator=(const ToolTip&) = delete;

    void Attach(HWND owner) { m_owner = owner; }
    // Shows text over area (client coordinates); empty text hides the tip.
    void Show(const std::wstring& text, const RECT& area);
    // Lets the tip see the mouse message it times itself by.
    void Relay(UINT uMsg, WPARAM wParam, LPARAM lParam, POINT pt);
    void Destroy();
    HWND Window() const { return m_tip; }

  private:
    bool Create();

    HWND m_owner = nullptr;
    HWND m_tip = nullptr;
    std::wstring m_text;  // the tool keeps a pointer to it
};

}  // namespace DuiLib

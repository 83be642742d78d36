// How jobs ask the user: one message box at a time, answered with IDYES, IDNO, IDOK, ...
#pragma once

#include <windows.h>

#include <string>

#include "sysutil/timed_message_box.h"

namespace korvane {

class UserPrompt {
  public:
    virtual ~UserPrompt() = default;
    // type takes the MB_* buttons and icon flags.
    virtual int Ask(const std::wstring& text, const std::wstring& caption, UINT type) = 0;
    // The same question, answered kTimedOutAnswer when the user leaves it for timeoutMs.
    virtual int AskTimed(const std::wstring& text, const std::wstring& caption, UINT type,
                         DWORD timeoutMs) = 0;
};

// Message boxes owned by a window (the main window in the program).
class MessageBoxPrompt : public UserPrompt {
  public:
    explicit MessageBoxPrompt(HWND owner) : owner_(owner) {}
    void SetOwner(HWND owner) { owner_ = owner; }
    int Ask(const std::wstring& text, const std::wstring& caption, UINT type) override {
        return MessageBoxW(owner_, text.c_str(), caption.c_str(), type);
    }
    int AskTimed(const std::wstring& text, const std::wstring& caption, UINT type,
                 DWORD timeoutMs) override {
        return TimedMessageBox(owner_, text.c_str(), caption.c_str(), type, timeoutMs);
    }

  private:
    HWND owner_;
};

// A text field of a page that a dialog fills in.
class TextField {
  public:
    virtual ~TextField() = default;
    virtual void SetFieldText(const std::wstring& text) = 0;
};

}  // namespace korvane

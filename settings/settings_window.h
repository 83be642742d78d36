// The modal settings window: the download speed limit (handed to the main window) and the
// download folder (kept in Option.ini), plus a button that restarts the program so that a
// changed folder takes effect.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "settings/options_store.h"
#include "sysutil/file_dialogs.h"
#include "sysutil/user_prompt.h"
#include "ui/duilib.h"

namespace korvane {

// Sent to the owner on every save. wParam: const wchar_t* text of the limit in KB, valid
// only during the call; lParam: 0.
inline constexpr UINT kSpeedLimitMessage = WM_USER + 116;

// Starts the program's own file again (no command line) and ends this process with exit
// code 0, whether or not the start worked.
[[noreturn]] void RestartProgram();

class CSet : public DuiLib::WindowImplBase {
  public:
    // The page comes from the skin source already set up by start-up.
    CSet(const OptionsStore& options, std::wstring appDataFolder);
    ~CSet() override;

    // Seams: null or empty puts the program's own back (the platform folder browser,
    // message boxes owned by this window, RestartProgram).
    void SetDialogs(ChooserDialogs* dialogs);
    void SetPrompt(UserPrompt* prompt);
    void SetRestartAction(std::function<void()> restart);

    DuiLib::CPaintManagerUI& PaintManager() { return m_PaintManager; }

    void Notify(DuiLib::TNotifyUI& msg) override;

  protected:
    LPCTSTR GetWindowClassName() const override { return L"UIQV_Set.xml"; }
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    // Named for completeness only: OnCreate builds the page from the current skin source.
    DuiLib::CDuiString GetSkinFolder() override;
    DuiLib::CDuiString GetSkinFile() override { return DuiLib::CDuiString(L"UIQV_Set.xml"); }
    DuiLib::UILIB_RESOURCETYPE GetResourceType() const override { return DuiLib::UILIB_ZIP; }
    LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;

  private:
    LRESULT OnKeyDown(WPARAM key, BOOL& bHandled);
    void Save();
    void ChooseFolder();
    void AcceptPickedFolder(const std::wstring& folder);
    void CreateAppDataFolder() const;

    OptionsStore options_;
    std::wstring appDataFolder_;
    ChooserDialogs* dialogs_;
    MessageBoxPrompt ownPrompt_{nullptr};
    UserPrompt* prompt_ = &ownPrompt_;
    std::function<void()> restart_;
    DuiLib::CEditUI* speedEdit_ = nullptr;
    DuiLib::CEditUI* folderEdit_ = nullptr;
    DuiLib::CControlUI* folderButton_ = nullptr;
};

}  // namespace korvane

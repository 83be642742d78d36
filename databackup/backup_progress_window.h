// The small modal window of a personal-data backup or restore: an animated image and two
// lines of text while the copy job runs on its own thread; the job closes it when done.
#pragma once

#include <memory>

#include "databackup/data_job_view.h"
#include "databackup/personal_data_page.h"
#include "databackup/shell_folders.h"
#include "sysutil/user_prompt.h"
#include "ui/duilib.h"

namespace korvane {

// Replaces the platform's pieces the job uses; null members keep the platform's.
struct DataJobEnvironment {
    ShellFolderSource* shellFolders = nullptr;
    UserPrompt* prompt = nullptr;  // the job's messages (owned by this window by default)
};

}  // namespace korvane

class CBackUpAndRestoreProgress : public DuiLib::WindowImplBase, private korvane::DataJobView {
  public:
    // Creates the window owned by parent and starts the copy job on its own thread.
    // direction 0 = backup, 1 = restore.
    CBackUpAndRestoreProgress(HWND parent, korvane::PersonalDataPage* page, int direction,
                              korvane::DataJobEnvironment environment = {});
    // ShowModal() (from CWindowWnd) runs it; the job closes it with result 1.

    DuiLib::CPaintManagerUI& PaintManager() { return m_PaintManager; }

    LPCTSTR GetWindowClassName() const override;
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void OnFinalMessage(HWND hWnd) override;
    DuiLib::CDuiString GetSkinFolder() override;
    DuiLib::CDuiString GetSkinFile() override;
    DuiLib::UILIB_RESOURCETYPE GetResourceType() const override;
    DuiLib::CDuiString GetZIPFileName() const override;
    LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    LRESULT OnNcHitTest(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    void Notify(DuiLib::TNotifyUI& msg) override;

  private:
    void SetActivityText(const std::wstring& text) override;
    void SetCountText(const std::wstring& text) override;
    void CloseJobWindow() override;
    void StartJob();
    void EndAfterJobFailure(const wchar_t* text);

    HWND m_hParent = nullptr;
    korvane::PersonalDataPage* m_pPage;
    int m_nDirection;
    korvane::SystemShellFolders m_systemFolders{nullptr};
    korvane::MessageBoxPrompt m_ownPrompt{nullptr};
    korvane::DataJobEnvironment m_environment;
    DuiLib::CGifUI* m_pGif = nullptr;
    DuiLib::CTextUI* m_pText1 = nullptr;
    DuiLib::CTextUI* m_pText2 = nullptr;
    DuiLib::CButtonUI* m_pOkBtn = nullptr;
};

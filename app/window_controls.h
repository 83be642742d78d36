// The main window's named controls, looked up once when the window is set up (before any
// job starts) and reached by name afterwards, from the UI thread and the jobs' threads.
#pragma once

#include <map>
#include <string>

#include "databackup/personal_data_page.h"
#include "reinstall/wizard_view.h"
#include "software/software_page_view.h"
#include "sysutil/user_prompt.h"
#include "ui/duilib.h"

namespace korvane {

// The tab options of the title band, in the order of MainTab's pages.
inline constexpr const wchar_t* kMainTabOptions[] = {L"ZadOdiReloadOp", L"BackUpAndRestoreOp",
                                                     L"SoftwareManagementOp", L"DataBackupOp"};

class WindowControls : public WizardView, public PersonalDataPage, public SoftwarePageView {
  public:
    // Looks every name of the controller's list up in the window's control tree. A name
    // missing from the skin is kept as null: setting it does nothing, reading it answers empty.
    void LookUp(DuiLib::CPaintManagerUI& pm);

    // The control looked up under that name; null when it is missing or not in the list.
    DuiLib::CControlUI* Find(const std::wstring& name) const;

    std::wstring ControlText(const std::wstring& name) override;
    void SetControlText(const std::wstring& name, const std::wstring& text) override;
    std::wstring ControlUserData(const std::wstring& name) override;
    void SetControlUserData(const std::wstring& name, const std::wstring& data) override;
    void SetControlEnabled(const std::wstring& name, bool enabled) override;
    void ShowControl(const std::wstring& name, bool visible) override;
    UINT_PTR ControlTag(const std::wstring& name) override;
    void SetControlTag(const std::wstring& name, UINT_PTR tag) override;
    void SetButtonImages(const std::wstring& name, const wchar_t* normal, const wchar_t* hot,
                         const wchar_t* pushed) override;
    void SetProgressValue(const std::wstring& name, int value) override;
    void SelectWizardStep(int step) override;
    // Shows page 0 .. 3 of MainTab, and selects that page's tab option so that the title
    // band shows where the user is, however the page was reached.
    void SelectMainTab(int tab);
    // The page MainTab shows; -1 without a MainTab.
    int SelectedMainTab();
    void SetControlBkImage(const std::wstring& name, const std::wstring& image);

    bool IsOptionSelected(const std::wstring& name) override;
    std::wstring EditText(const std::wstring& name) override { return ControlText(name); }
    void FillSoftwareButton(int number, const std::wstring& target, const std::wstring& normalImage,
                            const std::wstring& hotImage) override;

  private:
    std::map<std::wstring, DuiLib::CControlUI*> controls_;
};

// One named control of the window as the text field a dialog fills in.
class ControlField : public TextField {
  public:
    ControlField(WindowControls& controls, std::wstring name)
        : controls_(controls), name_(std::move(name)) {}
    void SetFieldText(const std::wstring& text) override { controls_.SetControlText(name_, text); }

  private:
    WindowControls& controls_;
    std::wstring name_;
};

}  // namespace korvane

// The controls of the reinstall wizard as the online jobs drive them, by skin name. The
// jobs call these from worker threads too; the main window answers from controls looked up
// once, before any job starts.
#pragma once

#include <windows.h>

#include <string>

#include "reinstall/os_probe.h"

namespace korvane {

class WizardView : public RecommendationTarget {
  public:
    virtual std::wstring ControlText(const std::wstring& name) = 0;
    virtual void SetControlEnabled(const std::wstring& name, bool enabled) = 0;
    virtual void ShowControl(const std::wstring& name, bool visible) = 0;
    virtual UINT_PTR ControlTag(const std::wstring& name) = 0;
    virtual void SetControlTag(const std::wstring& name, UINT_PTR tag) = 0;
    // Sets the images of a button; a null image leaves that one as it is.
    virtual void SetButtonImages(const std::wstring& name, const wchar_t* normal,
                                 const wchar_t* hot = nullptr, const wchar_t* pushed = nullptr) = 0;
    virtual void SetProgressValue(const std::wstring& name, int value) = 0;
    // Shows step 0 .. 5 of the wizard (ZadodiReloadTab).
    virtual void SelectWizardStep(int step) = 0;
};

}  // namespace korvane

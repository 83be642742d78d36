// The main window's pages: each wizard step and main tab is a composite control that
// builds its own page of the skin, and the builder callback that creates them while a
// page is parsed, so that pages nest inside pages.
#pragma once

#include "ui/duilib.h"

namespace korvane {

class CDialogBuilderCallbackEx : public DuiLib::IDialogBuilderCallback {
  public:
    // A new composite control for one of the program's element names, or null.
    DuiLib::CControlUI* CreateControl(LPCTSTR pstrClass) override;
};

// The program's page elements, in the order the builder callback compares them (exactly
// and case-sensitively). Each one's control builds the skin page of its name + ".xml".
inline constexpr const wchar_t* kPageElements[] = {
    L"UIQV_ZadodiReload",      L"UIQV_ZadodiReloadPage0",      L"UIQV_ZadodiReloadPage1",
    L"UIQV_ZadodiReloadPage2", L"UIQV_ZadodiReloadPage3",      L"UIQV_ZadodiReloadPage4",
    L"UIQV_ZadodiReloadPage5", L"UIQV_ZadodiBackUpAndRestore", L"UIQV_ZadodiSoftwareManager",
    L"UIQV_ZadodiBackUpDoc",
};

// A container whose only child is the control tree of one skin page (empty when the page
// is missing or broken).
class PageControl : public DuiLib::CContainerUI {
  protected:
    // element: the page's element name, without ".xml".
    explicit PageControl(LPCTSTR element);
};

// The control of kPageElements[kElement].
template <int kElement>
class SkinPageControl : public PageControl {
  public:
    SkinPageControl() : PageControl(kPageElements[kElement]) {}
};

using ZadodiReload = SkinPageControl<0>;
using ZadodiReloadPage0 = SkinPageControl<1>;
using ZadodiReloadPage1 = SkinPageControl<2>;
using ZadodiReloadPage2 = SkinPageControl<3>;
using ZadodiReloadPage3 = SkinPageControl<4>;
using ZadodiReloadPage4 = SkinPageControl<5>;
using ZadodiReloadPage5 = SkinPageControl<6>;
using ZadodiBackUpAndRestore = SkinPageControl<7>;
using ZadodiSoftwareManager = SkinPageControl<8>;
using ZadodiBackUpDoc = SkinPageControl<9>;

}  // namespace korvane

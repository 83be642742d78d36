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

// A container whose only child is the control tree of one skin page (empty when the page
// is missing or broken).
class PageControl : public DuiLib::CContainerUI {
  protected:
    explicit PageControl(LPCTSTR page);
};

class ZadodiReload : public PageControl {
  public:
    ZadodiReload() : PageControl(L"UIQV_ZadodiReload.xml") {}
};
class ZadodiReloadPage0 : public PageControl {
  public:
    ZadodiReloadPage0() : PageControl(L"UIQV_ZadodiReloadPage0.xml") {}
};
class ZadodiReloadPage1 : public PageControl {
  public:
    ZadodiReloadPage1() : PageControl(L"UIQV_ZadodiReloadPage1.xml") {}
};
class ZadodiReloadPage2 : public PageControl {
  public:
    ZadodiReloadPage2() : PageControl(L"UIQV_ZadodiReloadPage2.xml") {}
};
class ZadodiReloadPage3 : public PageControl {
  public:
    ZadodiReloadPage3() : PageControl(L"UIQV_ZadodiReloadPage3.xml") {}
};
class ZadodiReloadPage4 : public PageControl {
  public:
    ZadodiReloadPage4() : PageControl(L"UIQV_ZadodiReloadPage4.xml") {}
};
class ZadodiReloadPage5 : public PageControl {
  public:
    ZadodiReloadPage5() : PageControl(L"UIQV_ZadodiReloadPage5.xml") {}
};
class ZadodiBackUpAndRestore : public PageControl {
  public:
    ZadodiBackUpAndRestore() : PageControl(L"UIQV_ZadodiBackUpAndRestore.xml") {}
};
class ZadodiSoftwareManager : public PageControl {
  public:
    ZadodiSoftwareManager() : PageControl(L"UIQV_ZadodiSoftwareManager.xml") {}
};
class ZadodiBackUpDoc : public PageControl {
  public:
    ZadodiBackUpDoc() : PageControl(L"UIQV_ZadodiBackUpDoc.xml") {}
};

}  // namespace korvane

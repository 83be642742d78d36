// WindowImplBase: a window whose content is one page of the skin. Derived windows name
// their page and skin source; the base builds the page when the window is created, routes
// messages to its paint manager and answers the caption hit test from the page's caption
// band.
#pragma once

#include "ui/dialog_builder.h"
#include "ui/paint_manager.h"
#include "ui/window_wnd.h"

namespace DuiLib {

enum UILIB_RESOURCETYPE {
    UILIB_FILE = 1,         // pages are files of the skin folder
    UILIB_ZIP = 2,          // pages are in a zip archive file of the skin folder
    UILIB_RESOURCE = 3,     // pages are resources of the module (type "XML")
    UILIB_ZIPRESOURCE = 4,  // the zip archive is a resource of the module (type "ZIPRES")
};

class WindowImplBase : public CWindowWnd,
                       public INotifyUI,
                       public IMessageFilterUI,
                       public IDialogBuilderCallback {
  public:
    WindowImplBase() = default;

    LPCTSTR GetWindowClassName() const override = 0;
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void OnFinalMessage(HWND hWnd) override;
    virtual ~WindowImplBase() = default;
    virtual CDuiString GetSkinFolder() = 0;
    virtual CDuiString GetSkinFile() = 0;
    virtual UILIB_RESOURCETYPE GetResourceType() const { return UILIB_FILE; }
    virtual CDuiString GetZIPFileName() const { return CDuiString(); }
    virtual LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnNcHitTest(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

    void Notify(TNotifyUI& msg) override { (void)msg; }
    LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;
    CControlUI* CreateControl(LPCTSTR pstrClass) override {
        (void)pstrClass;
        return nullptr;
    }

    virtual LRESULT OnClose(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnGetMinMaxInfo(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnNcActivate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnNcCalcSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnNcPaint(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

    // The page's caption hit test for a screen point: HTCAPTION inside the caption band
    // except over buttons, options and edit boxes; HTCLIENT elsewhere.
    static LRESULT CaptionHitTest(CPaintManagerUI& pm, HWND hWnd, LPARAM lParam);

  protected:
    UINT GetClassStyle() const override { return CS_DBLCLKS; }
    // Points the process-wide skin source at what this window's overrides name.
    void ApplySkinSource();

    CPaintManagerUI m_PaintManager;
};

}  // namespace DuiLib

// Pop-up menu add-on: a page of a Menu element holding MenuElement items, shown in a
// pop-up window with a drop shadow. Choosing an item posts WM_MENUCLICK (WM_USER + 121)
// to the owner window with a new CDuiString* holding the item's user data (the receiver
// deletes it) and lParam 0, then closes the menu.
#pragma once

#include "ui/button.h"
#include "ui/container.h"
#include "ui/dialog_builder.h"
#include "ui/paint_manager.h"
#include "ui/shadow.h"
#include "ui/window_wnd.h"

namespace DuiLib {

class CMenuUI : public CVerticalLayoutUI {
  public:
    CMenuUI();
    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR pstrName) override;
    // Size the menu needs: the widest item (or its width attribute) by the items' heights.
    SIZE EstimateSize(SIZE szAvailable) override;
};

class CMenuElementUI : public CButtonUI {
  public:
    CMenuElementUI();
    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR pstrName) override;
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
    void PaintBkColor(PaintContext& ctx) override;

  private:
    std::atomic<DWORD> m_dwHotBkColor{0xFFE5F1FB};
};

class CMenuWnd : public CWindowWnd, public INotifyUI {
  public:
    CMenuWnd() = default;
    // Shows the menu page xml with its top-left corner at a screen point (moved to stay
    // on the work area), owned by hOwner. The object deletes itself when the menu closes.
    void Init(CMenuElementUI* pOwner, LPCTSTR xml, POINT point, HWND hOwner,
              IDialogBuilderCallback* pCallback = nullptr);
    CPaintManagerUI& GetManager() { return m_pm; }
    void Notify(TNotifyUI& msg) override;

  protected:
    LPCTSTR GetWindowClassName() const override { return L"DuiMenuWnd"; }
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void OnFinalMessage(HWND hWnd) override;

  private:
    LRESULT OnCreate();

    CPaintManagerUI m_pm;
    CShadowUI m_shadow;
    HWND m_hOwner = nullptr;
    std::wstring m_xml;
    POINT m_point = {};
    IDialogBuilderCallback* m_pCallback = nullptr;
    bool m_bChosen = false;
};

}  // namespace DuiLib

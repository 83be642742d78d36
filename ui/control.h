// CControlUI: the base of every element of a page. Properties that worker threads may set
// (text, images, user data, visibility, enabled state, tag) are stored under the property
// lock or in atomics and followed by an invalidation; the paint pass copies them out.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "ui/render.h"
#include "ui/ui_defs.h"

namespace DuiLib {

class CControlUI {
  public:
    CControlUI();
    virtual ~CControlUI();
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;

    virtual CDuiString GetName() const;
    virtual void SetName(LPCTSTR pstrName);
    virtual LPCTSTR GetClass() const;
    virtual LPVOID GetInterface(LPCTSTR pstrName);

    CPaintManagerUI* GetManager() const { return m_pManager.load(); }
    CControlUI* GetParent() const { return m_pParent.load(); }
    // Attaches this control (and its children) to a paint manager and parent.
    virtual void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true);

    virtual CDuiString GetText() const;
    virtual void SetText(LPCTSTR pstrText);

    DWORD GetBkColor() const { return m_dwBkColor.load(); }
    void SetBkColor(DWORD dwColor);
    CDuiString GetBkImage() const;
    void SetBkImage(LPCTSTR pStrImage);
    DWORD GetBorderColor() const { return m_dwBorderColor.load(); }
    void SetBorderColor(DWORD dwColor);
    int GetBorderSize() const { return m_nBorderSize.load(); }
    void SetBorderSize(int nSize);

    virtual RECT GetPos() const;
    // Places the control (window client coordinates); containers lay out their children.
    virtual void SetPos(RECT rc);
    int GetWidth() const;
    int GetHeight() const;
    RECT GetPadding() const { return m_rcPadding; }
    void SetPadding(RECT rcPadding);
    // Position relative to the parent's top-left corner (for floating controls).
    RECT GetRelativePos() const { return m_rcXY; }
    int GetFixedWidth() const { return m_cxyFixed.cx; }
    void SetFixedWidth(int cx);
    int GetFixedHeight() const { return m_cxyFixed.cy; }
    void SetFixedHeight(int cy);
    bool IsFloat() const { return m_bFloat; }
    void SetFloat(bool bFloat = true);

    CDuiString GetToolTip() const;
    void SetToolTip(LPCTSTR pstrText);
    LPCTSTR GetCursor() const { return m_cursor; }

    virtual CDuiString GetUserData() const;
    virtual void SetUserData(LPCTSTR pstrText);
    virtual UINT_PTR GetTag() const { return m_uTag.load(); }
    virtual void SetTag(UINT_PTR pTag) { m_uTag.store(pTag); }

    virtual bool IsVisible() const { return m_bVisible.load(); }
    virtual void SetVisible(bool bVisible = true);
    virtual bool IsEnabled() const { return m_bEnabled.load(); }
    virtual void SetEnabled(bool bEnable = true);
    bool IsMouseEnabled() const { return m_bMouseEnabled; }
    void SetMouseEnabled(bool bEnable = true) { m_bMouseEnabled = bEnable; }
    bool IsFocused() const { return m_bFocused; }
    void SetFocus();
    // Controls that take clicks, hover and focus; labels and layouts let them pass.
    virtual bool IsInputTarget() const { return false; }

    // Children, for the tree walks of the paint manager (none for plain controls).
    virtual int GetCount() const { return 0; }
    virtual CControlUI* GetItemAt(int iIndex) const {
        (void)iIndex;
        return nullptr;
    }
    // Topmost visible control at the point within this subtree; with forInput, only
    // enabled input targets count.
    virtual CControlUI* FindControlAt(POINT pt, bool forInput);

    // Repaints the control's area (any thread).
    void Invalidate();
    // Asks for a new layout of the parent (for changes of size or visibility).
    void NeedParentUpdate();

    virtual bool Activate();
    virtual void Event(TEventUI& event);
    virtual void DoEvent(TEventUI& event);

    virtual void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue);
    // "name=\"value\" name2=\"value2\"": attributes given as one text.
    void ApplyAttributeList(LPCTSTR pstrList);

    // Size wanted inside the available space (layouts ask before placing).
    virtual SIZE EstimateSize(SIZE szAvailable);

    virtual void DoPaint(PaintContext& ctx);
    virtual void PaintBkColor(PaintContext& ctx);
    virtual void PaintBkImage(PaintContext& ctx);
    virtual void PaintStatusImage(PaintContext& ctx);
    virtual void PaintText(PaintContext& ctx);
    virtual void PaintBorder(PaintContext& ctx);
    // Adds the image attributes the control draws in its present state (decoded ahead of a
    // window's first paint).
    virtual void AppendPaintedImages(std::vector<std::wstring>* attributes) const;

  protected:
    bool DrawImage(PaintContext& ctx, const std::wstring& attribute, int frame = 0);
    // The part of the window the control shows in: its place cut by its ancestors'; false
    // when it or an ancestor is hidden or nothing is left.
    bool VisibleArea(RECT* area) const;
    // After the background picture changed from `from` to `to`: invalidates only where the two
    // differ, when that is known (SwapDamage); false when the whole control must be drawn.
    bool InvalidateSwappedTiles(const std::wstring& from, const std::wstring& to);
    // Copies a locked string.
    std::wstring Locked(const std::wstring& value) const;
    void SetLocked(std::wstring* target, LPCTSTR value);

    std::atomic<CPaintManagerUI*> m_pManager{nullptr};
    std::atomic<CControlUI*> m_pParent{nullptr};
    std::wstring m_sName;
    std::wstring m_sText;
    std::wstring m_sBkImage;
    std::wstring m_sToolTip;
    std::wstring m_sUserData;
    RECT m_rcItem = {};
    std::atomic<DWORD> m_dwBkColor{0};
    std::atomic<DWORD> m_dwBorderColor{0};
    std::atomic<int> m_nBorderSize{0};
    std::atomic<bool> m_bVisible{true};
    std::atomic<bool> m_bEnabled{true};
    std::atomic<UINT_PTR> m_uTag{0};
    bool m_bMouseEnabled = true;
    bool m_bFocused = false;
    bool m_bFloat = false;
    RECT m_rcXY = {};
    SIZE m_cxyFixed = {};
    RECT m_rcPadding = {};
    LPCTSTR m_cursor = nullptr;
};

}  // namespace DuiLib

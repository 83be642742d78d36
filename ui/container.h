// Containers: the plain container (every child fills it), vertical and horizontal layouts
// and the tab layout (one visible page). Floating children sit at their own position
// relative to the container's top-left corner. The tree is changed on the UI thread only.
#pragma once

#include <vector>

#include "ui/control.h"

namespace DuiLib {

class IContainerUI {
  public:
    virtual CControlUI* GetItemAt(int iIndex) const = 0;
    virtual int GetItemIndex(CControlUI* pControl) const = 0;
    virtual int GetCount() const = 0;
    virtual bool Add(CControlUI* pControl) = 0;
    virtual bool AddAt(CControlUI* pControl, int iIndex) = 0;
    virtual bool Remove(CControlUI* pControl) = 0;
    virtual bool RemoveAt(int iIndex) = 0;
    virtual void RemoveAll() = 0;

  protected:
    ~IContainerUI() = default;
};

class CContainerUI : public CControlUI, public IContainerUI {
  public:
    CContainerUI() = default;
    ~CContainerUI() override;

    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR pstrName) override;

    CControlUI* GetItemAt(int iIndex) const override;
    int GetItemIndex(CControlUI* pControl) const override;
    int GetCount() const override;
    // The container owns what is added and deletes it on removal.
    bool Add(CControlUI* pControl) override;
    bool AddAt(CControlUI* pControl, int iIndex) override;
    bool Remove(CControlUI* pControl) override;
    bool RemoveAt(int iIndex) override;
    void RemoveAll() override;

    RECT GetInset() const { return m_rcInset; }
    void SetInset(RECT rcInset);
    int GetChildPadding() const { return m_iChildPadding; }
    void SetChildPadding(int iPadding);

    void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true) override;
    void SetPos(RECT rc) override;
    CControlUI* FindControlAt(POINT pt, bool forInput) override;
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
    void DoPaint(PaintContext& ctx) override;

  protected:
    RECT InnerRect(const RECT& rc) const;
    void SetFloatPos(CControlUI* pControl, const RECT& rcContainer);
    void ChildrenChanged();

    std::vector<CControlUI*> m_items;
    RECT m_rcInset = {};
    int m_iChildPadding = 0;
};

class CVerticalLayoutUI : public CContainerUI {
  public:
    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR pstrName) override;
    void SetPos(RECT rc) override;
};

class CHorizontalLayoutUI : public CContainerUI {
  public:
    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR pstrName) override;
    void SetPos(RECT rc) override;
};

class CTabLayoutUI : public CContainerUI {
  public:
    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR pstrName) override;

    bool Add(CControlUI* pControl) override;
    bool AddAt(CControlUI* pControl, int iIndex) override;
    bool Remove(CControlUI* pControl) override;
    void RemoveAll() override;
    int GetCurSel() const { return m_iCurSel; }
    // Shows page iIndex and hides the others; false for an index out of range.
    bool SelectItem(int iIndex);
    bool SelectItem(CControlUI* pControl);
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;

  private:
    void ShowOnly(int iIndex);
    int m_iCurSel = 0;
};

}  // namespace DuiLib

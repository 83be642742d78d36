// CButtonUI (images per state, "click" on release inside) and COptionUI (a button that
// stays selected; options of one group exclude each other).
#pragma once

#include "ui/label.h"

namespace DuiLib {

class CButtonUI : public CLabelUI {
  public:
    CButtonUI();
    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR pstrName) override;
    bool IsInputTarget() const override { return true; }
    bool Activate() override;

    CDuiString GetNormalImage() const;
    void SetNormalImage(LPCTSTR pStrImage);
    CDuiString GetHotImage() const;
    void SetHotImage(LPCTSTR pStrImage);
    CDuiString GetPushedImage() const;
    void SetPushedImage(LPCTSTR pStrImage);
    CDuiString GetDisabledImage() const;
    void SetDisabledImage(LPCTSTR pStrImage);
    void SetHotTextColor(DWORD dwColor);
    void SetPushedTextColor(DWORD dwColor);

    bool IsHot() const { return m_bHot; }
    bool IsPushed() const { return m_bPushed; }

    void DoEvent(TEventUI& event) override;
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
    void PaintStatusImage(PaintContext& ctx) override;
    void AppendPaintedImages(std::vector<std::wstring>* attributes) const override;

  protected:
    // The state picture drawn now: disabled, pushed, hot or normal.
    virtual std::wstring StatusImage() const;

    DWORD CurrentTextColor() const override;

    std::wstring m_sNormalImage;
    std::wstring m_sHotImage;
    std::wstring m_sPushedImage;
    std::wstring m_sDisabledImage;
    std::atomic<DWORD> m_dwHotTextColor{0};
    std::atomic<DWORD> m_dwPushedTextColor{0};
    bool m_bHot = false;
    bool m_bPushed = false;    // pressed and the pointer inside
    bool m_bCaptured = false;  // pressed, pointer anywhere
};

class COptionUI : public CButtonUI {
  public:
    ~COptionUI() override = default;
    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR pstrName) override;
    bool Activate() override;

    CDuiString GetGroup() const;
    void SetGroup(LPCTSTR pStrGroupName);
    bool IsSelected() const { return m_bSelected.load(); }
    // Selecting clears the other options of the same group.
    virtual void Selected(bool bSelected, bool bTriggerEvent = true);
    CDuiString GetSelectedImage() const;
    void SetSelectedImage(LPCTSTR pStrImage);
    void SetSelectedHotImage(LPCTSTR pStrImage);
    void SetSelectedTextColor(DWORD dwColor);

    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;

  protected:
    DWORD CurrentTextColor() const override;
    // The selected picture while selected and enabled, else the button's.
    std::wstring StatusImage() const override;

    std::wstring m_sGroupName;
    std::wstring m_sSelectedImage;
    std::wstring m_sSelectedHotImage;
    std::atomic<DWORD> m_dwSelectedTextColor{0};
    std::atomic<bool> m_bSelected{false};
};

}  // namespace DuiLib

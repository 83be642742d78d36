// Text controls: CLabelUI (one line by default) and CTextUI (wrapping by default).
#pragma once

#include "ui/control.h"

namespace DuiLib {

class CLabelUI : public CControlUI {
  public:
    CLabelUI();
    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR pstrName) override;

    void SetTextColor(DWORD dwTextColor);
    DWORD GetTextColor() const { return m_dwTextColor.load(); }
    void SetDisabledTextColor(DWORD dwTextColor);
    DWORD GetDisabledTextColor() const { return m_dwDisabledTextColor.load(); }
    void SetFont(int index);
    int GetFont() const { return m_iFont.load(); }
    RECT GetTextPadding() const;
    void SetTextPadding(RECT rc);
    // Alignment flags of attribute_text.h (kAlignCenter, kAlignWrap, ...).
    unsigned GetTextStyle() const { return m_uTextStyle.load(); }
    void SetTextStyle(unsigned uStyle);

    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
    void PaintText(PaintContext& ctx) override;

  protected:
    // The colour for the current state (derived controls add hot and pushed colours).
    virtual DWORD CurrentTextColor() const;
    // The text as drawn (password boxes mask it).
    virtual std::wstring DisplayText() const;

    std::atomic<DWORD> m_dwTextColor{0};
    std::atomic<DWORD> m_dwDisabledTextColor{0};
    std::atomic<int> m_iFont{-1};
    std::atomic<unsigned> m_uTextStyle;
    RECT m_rcTextPadding = {};
};

class CTextUI : public CLabelUI {
  public:
    CTextUI();
    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR pstrName) override;
};

}  // namespace DuiLib

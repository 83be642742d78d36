// CEditUI: draws its text like a label; while it has the focus a native edit box sits on
// top of it so that typing, selection and input methods (Chinese IMEs) work as usual.
#pragma once

#include "ui/label.h"

namespace DuiLib {

class CEditWnd;

class CEditUI : public CLabelUI {
  public:
    CEditUI();
    ~CEditUI() override;
    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR pstrName) override;
    bool IsInputTarget() const override { return true; }

    void SetReadOnly(bool bReadOnly);
    bool IsReadOnly() const { return m_bReadOnly; }
    void SetPasswordMode(bool bPasswordMode);
    bool IsPasswordMode() const { return m_bPasswordMode; }
    void SetMaxChar(UINT uMax) { m_uMaxChar = uMax; }
    UINT GetMaxChar() const { return m_uMaxChar; }
    // Background and text colours of the native box while editing.
    void SetNativeEditBkColor(DWORD dwBkColor) { m_dwEditBkColor = dwBkColor; }
    DWORD GetNativeEditBkColor() const { return m_dwEditBkColor; }
    void SetNormalImage(LPCTSTR pStrImage);
    void SetHotImage(LPCTSTR pStrImage);
    void SetFocusedImage(LPCTSTR pStrImage);
    void SetDisabledImage(LPCTSTR pStrImage);
    // The native box, while editing (null otherwise).
    HWND GetNativeWindow() const;

    void SetEnabled(bool bEnable = true) override;
    void SetVisible(bool bVisible = true) override;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
    void PaintStatusImage(PaintContext& ctx) override;
    void PaintText(PaintContext& ctx) override;
    void AppendPaintedImages(std::vector<std::wstring>* attributes) const override;

  private:
    friend class CEditWnd;
    // The state picture drawn now: disabled, focused, hot or normal.
    std::wstring StatusImage() const;
    std::wstring DisplayText() const override;
    void EndEdit();

    CEditWnd* m_pWindow = nullptr;
    bool m_bReadOnly = false;
    bool m_bPasswordMode = false;
    bool m_bHot = false;
    UINT m_uMaxChar = 255;
    DWORD m_dwEditBkColor = 0xFFFFFFFF;
    std::wstring m_sNormalImage;
    std::wstring m_sHotImage;
    std::wstring m_sFocusedImage;
    std::wstring m_sDisabledImage;
};

}  // namespace DuiLib

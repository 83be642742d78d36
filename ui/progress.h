// CProgressUI: a bar between min and max drawn with a background and a fore image (or
// colour) revealed up to the value. SetValue is safe from worker threads.
#pragma once

#include "ui/label.h"

namespace DuiLib {

class CProgressUI : public CLabelUI {
  public:
    CProgressUI();
    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR pstrName) override;

    bool IsHorizontal() const { return m_bHorizontal.load(); }
    void SetHorizontal(bool bHorizontal = true);
    int GetMinValue() const { return m_nMin.load(); }
    void SetMinValue(int nMin);
    int GetMaxValue() const { return m_nMax.load(); }
    void SetMaxValue(int nMax);
    int GetValue() const { return m_nValue.load(); }
    // Clamped to [min, max].
    void SetValue(int nValue);
    CDuiString GetForeImage() const;
    void SetForeImage(LPCTSTR pStrImage);

    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
    void PaintStatusImage(PaintContext& ctx) override;
    void AppendPaintedImages(std::vector<std::wstring>* attributes) const override;
    // The part of the bar that shows progress.
    RECT GetForeRect() const;

  private:
    std::atomic<bool> m_bHorizontal{true};
    std::atomic<int> m_nMin{0};
    std::atomic<int> m_nMax{100};
    std::atomic<int> m_nValue{0};
    std::atomic<DWORD> m_dwForeColor{0};
    std::wstring m_sForeImage;
};

}  // namespace DuiLib

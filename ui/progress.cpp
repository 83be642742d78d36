#include "ui/progress.h"

#include <algorithm>
#include <cwchar>

#include "ui/attribute_values.h"

namespace DuiLib {

CProgressUI::CProgressUI() {
    m_uTextStyle.store(kAlignCenter | kAlignVCenter);
}

LPCTSTR CProgressUI::GetClass() const {
    return L"ProgressUI";
}

LPVOID CProgressUI::GetInterface(LPCTSTR pstrName) {
    if (pstrName && wcscmp(pstrName, L"Progress") == 0)
        return this;
    return CLabelUI::GetInterface(pstrName);
}

void CProgressUI::SetHorizontal(bool bHorizontal) {
    m_bHorizontal.store(bHorizontal);
    Invalidate();
}

void CProgressUI::SetMinValue(int nMin) {
    m_nMin.store(nMin);
    Invalidate();
}

void CProgressUI::SetMaxValue(int nMax) {
    m_nMax.store(nMax);
    Invalidate();
}

void CProgressUI::SetValue(int nValue) {
    int lo = m_nMin.load(), hi = m_nMax.load();
    if (hi < lo)
        std::swap(lo, hi);
    nValue = std::clamp(nValue, lo, hi);
    if (m_nValue.exchange(nValue) != nValue)
        Invalidate();
}

CDuiString CProgressUI::GetForeImage() const {
    return CDuiString(Locked(m_sForeImage));
}

void CProgressUI::SetForeImage(LPCTSTR pStrImage) {
    SetLocked(&m_sForeImage, pStrImage);
    Invalidate();
}

void CProgressUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    std::wstring name = pstrName ? pstrName : L"";
    int n;
    bool b;
    uint32_t color;
    if (name == L"hor") {
        if (!ParseBoolAttr(pstrValue, &b))
            return ReportBadAttribute(GetClass(), pstrName, pstrValue);
        SetHorizontal(b);
    } else if (name == L"min") {
        if (!ParseIntAttr(pstrValue, &n))
            return ReportBadAttribute(GetClass(), pstrName, pstrValue);
        SetMinValue(n);
    } else if (name == L"max") {
        if (!ParseIntAttr(pstrValue, &n))
            return ReportBadAttribute(GetClass(), pstrName, pstrValue);
        SetMaxValue(n);
    } else if (name == L"value") {
        if (!ParseIntAttr(pstrValue, &n))
            return ReportBadAttribute(GetClass(), pstrName, pstrValue);
        SetValue(n);
    } else if (name == L"foreimage") {
        SetForeImage(pstrValue);
    } else if (name == L"forecolor") {
        if (!ParseColorAttr(pstrValue, &color))
            return ReportBadAttribute(GetClass(), pstrName, pstrValue);
        m_dwForeColor.store(color);
        Invalidate();
    } else {
        CLabelUI::SetAttribute(pstrName, pstrValue);
    }
}

RECT CProgressUI::GetForeRect() const {
    RECT rc = GetPos();
    int lo = m_nMin.load(), hi = m_nMax.load();
    int value = m_nValue.load();
    double fraction = hi > lo ? static_cast<double>(std::clamp(value, lo, hi) - lo) / (hi - lo) : 0;
    if (m_bHorizontal.load()) {
        rc.right = rc.left + static_cast<LONG>((rc.right - rc.left) * fraction + 0.5);
    } else {
        rc.top = rc.bottom - static_cast<LONG>((rc.bottom - rc.top) * fraction + 0.5);
    }
    return rc;
}

void CProgressUI::AppendPaintedImages(std::vector<std::wstring>* attributes) const {
    CLabelUI::AppendPaintedImages(attributes);
    std::wstring image = Locked(m_sForeImage);
    if (!image.empty())
        attributes->push_back(std::move(image));
}

void CProgressUI::PaintStatusImage(PaintContext& ctx) {
    RECT fore = GetForeRect();
    RECT clip;
    if (!render::Intersect(&clip, fore, ctx.clip))
        return;
    RECT saved = ctx.clip;
    render::SetClip(ctx, clip);
    // The fore image covers the whole bar; the clip reveals the part reached.
    if (DWORD color = m_dwForeColor.load())
        render::FillColor(ctx, fore, color);
    std::wstring image = Locked(m_sForeImage);
    if (!image.empty())
        DrawImage(ctx, image);
    render::SetClip(ctx, saved);
}

}  // namespace DuiLib

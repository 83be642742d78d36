#include "ui/gif.h"

#include <algorithm>
#include <cwchar>

#include "ui/paint_manager.h"

namespace DuiLib {

namespace {
constexpr UINT kFrameTimer = 1;
// Delays below this (and zero) are played as browsers do, not as a busy loop.
constexpr int kMinDelayMs = 20;
constexpr int kZeroDelayMs = 100;
}  // namespace

CGifUI::~CGifUI() {
    if (CPaintManagerUI* pm = GetManager())
        pm->KillTimer(this);
}

LPCTSTR CGifUI::GetClass() const {
    return L"GifUI";
}

LPVOID CGifUI::GetInterface(LPCTSTR pstrName) {
    if (pstrName && wcscmp(pstrName, L"Gif") == 0)
        return this;
    return CControlUI::GetInterface(pstrName);
}

void CGifUI::SetGifImage(LPCTSTR pstrFile) {
    SetLocked(&m_sGifFile, pstrFile);
    m_iFrame.store(0);
    m_bRestart.store(true);
    Invalidate();
}

CDuiString CGifUI::GetGifImage() const {
    return CDuiString(Locked(m_sGifFile));
}

void CGifUI::SetVisible(bool bVisible) {
    CControlUI::SetVisible(bVisible);
    m_bRestart.store(true);  // the timer stops while hidden and resumes on the next paint
}

void CGifUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    if (pstrName && (wcscmp(pstrName, L"bkimage") == 0 || wcscmp(pstrName, L"gifimage") == 0)) {
        SetGifImage(pstrValue);
    } else {
        CControlUI::SetAttribute(pstrName, pstrValue);
    }
}

void CGifUI::StartTimer(const ImageData& image) {
    CPaintManagerUI* pm = GetManager();
    m_delays = image.delaysMs;
    m_nFrames.store(image.FrameCount());
    if (pm == nullptr || image.FrameCount() < 2) {
        if (pm && m_bTimerRunning)
            pm->KillTimer(this, kFrameTimer);
        m_bTimerRunning = false;
        return;
    }
    int frame = m_iFrame.load() % image.FrameCount();
    int delay = m_delays[static_cast<size_t>(frame)];
    delay = delay <= 0 ? kZeroDelayMs : std::max(delay, kMinDelayMs);
    m_bTimerRunning = pm->SetTimer(this, kFrameTimer, static_cast<UINT>(delay));
}

void CGifUI::DoEvent(TEventUI& event) {
    if (event.Type == UIEVENT_TIMER && event.wParam == kFrameTimer) {
        CPaintManagerUI* pm = GetManager();
        int frames = m_nFrames.load();
        if (pm == nullptr || frames < 2 || !IsVisible()) {
            if (pm)
                pm->KillTimer(this, kFrameTimer);
            m_bTimerRunning = false;
            return;
        }
        int next = (m_iFrame.load() + 1) % frames;
        m_iFrame.store(next);
        int delay =
            next < static_cast<int>(m_delays.size()) ? m_delays[static_cast<size_t>(next)] : 0;
        delay = delay <= 0 ? kZeroDelayMs : std::max(delay, kMinDelayMs);
        pm->SetTimer(this, kFrameTimer, static_cast<UINT>(delay));
        Invalidate();
        return;
    }
    CControlUI::DoEvent(event);
}

void CGifUI::AppendPaintedImages(std::vector<std::wstring>* attributes) const {
    CControlUI::AppendPaintedImages(attributes);
    std::wstring file = Locked(m_sGifFile);
    if (!file.empty())
        attributes->push_back(std::move(file));
}

void CGifUI::PaintBkImage(PaintContext& ctx) {
    CControlUI::PaintBkImage(ctx);
    std::wstring file = Locked(m_sGifFile);
    if (file.empty())
        return;
    const ParsedImage& parsed = render::ParseImageAttribute(file);
    if (!parsed.ok)
        return;
    const ImageData* image = ctx.images->Get(parsed.file);
    if (m_bRestart.exchange(false) || (!m_bTimerRunning && image->FrameCount() > 1)) {
        StartTimer(*image);
    }
    render::DrawImageData(ctx, GetPos(), *image, parsed.desc, m_iFrame.load());
}

}  // namespace DuiLib

// CGifUI: plays an animated image of the skin with the frame delays stored in the file.
// The file is decoded on the UI thread when first drawn; SetGifImage may come from any
// thread.
#pragma once

#include <vector>

#include "ui/control.h"

namespace DuiLib {

class CGifUI : public CControlUI {
  public:
    CGifUI() = default;
    ~CGifUI() override;
    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR pstrName) override;

    void SetGifImage(LPCTSTR pstrFile);
    CDuiString GetGifImage() const;
    int GetFrameIndex() const { return m_iFrame.load(); }
    // Frames and delays, known once the image has been drawn (0 before).
    int GetFrameCount() const { return m_nFrames.load(); }

    void SetVisible(bool bVisible = true) override;
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
    void DoEvent(TEventUI& event) override;
    void PaintBkImage(PaintContext& ctx) override;
    void AppendPaintedImages(std::vector<std::wstring>* attributes) const override;

  private:
    void StartTimer(const ImageData& image);

    std::wstring m_sGifFile;
    std::atomic<int> m_iFrame{0};
    std::atomic<int> m_nFrames{0};
    std::atomic<bool> m_bRestart{true};
    bool m_bTimerRunning = false;
    std::vector<int> m_delays;
};

}  // namespace DuiLib

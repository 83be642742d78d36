// The software page of the main window as the catalogue job fills it: sixteen picture
// buttons, "Soft1_Btn" … "Soft16_Btn". The job calls it from its own thread.
#pragma once

#include <string>

namespace korvane {

inline constexpr int kSoftwareButtonCount = 16;

class SoftwarePageView {
  public:
    virtual ~SoftwarePageView() = default;
    // Button number 1 … 16: enabled, its user data the target, its normal image normalImage,
    // its hot and pushed images hotImage (full paths).
    virtual void FillSoftwareButton(int number, const std::wstring& target,
                                    const std::wstring& normalImage,
                                    const std::wstring& hotImage) = 0;
};

}  // namespace korvane

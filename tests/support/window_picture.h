// What the screen shows over a window, as 32-bit pixels (0x00RRGGBB) to sample and to save
// as PNG. The tests start GDI+ themselves before saving.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>

#include "sysutil/unique_handle.h"

namespace korvane::test {

class WindowPicture {
  public:
    explicit WindowPicture(HWND hwnd) {
        RECT rc = {};
        GetWindowRect(hwnd, &rc);
        width_ = rc.right - rc.left;
        height_ = rc.bottom - rc.top;
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width_;
        info.bmiHeader.biHeight = -height_;  // top row first
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_.Reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        pixels_ = static_cast<const std::uint32_t*>(bits);
        HDC screen = GetDC(nullptr);
        UniqueMemoryDc memory(CreateCompatibleDC(screen));
        HGDIOBJ old = SelectObject(memory.Get(), bitmap_.Get());
        BitBlt(memory.Get(), 0, 0, width_, height_, screen, rc.left, rc.top, SRCCOPY);
        SelectObject(memory.Get(), old);
        ReleaseDC(nullptr, screen);
    }
    WindowPicture(const WindowPicture&) = delete;
    WindowPicture& operator=(const WindowPicture&) = delete;

    bool SavePng(const std::wstring& path) const {
        Gdiplus::Bitmap picture(bitmap_.Get(), nullptr);
        // The PNG encoder of GDI+.
        const CLSID png = {
            0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
        return picture.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
    }

    // How many different colours the picture holds: a drawn background image has hundreds.
    size_t Colours() const {
        return std::set<std::uint32_t>(pixels_, pixels_ + width_ * height_).size();
    }

    // How many pixels of the area match.
    template <typename Test>
    int Count(const RECT& area, Test test) const {
        int n = 0;
        ForEach(area, [&](std::uint32_t p) { n += test(Red(p), Green(p), Blue(p)) ? 1 : 0; });
        return n;
    }

    // Pixels of the area darker than mid grey: drawn text.
    int Ink(const RECT& area) const {
        return Count(area, [](int r, int g, int b) { return r + g + b < 3 * 128; });
    }

    // How much bluer than red the area is on average (0..255): a saturated brand-blue fill
    // leads by far, a pale blue tint by a little, white and the grey page hardly.
    int BlueLead(const RECT& area) const {
        long long lead = 0, count = 0;
        ForEach(area, [&](std::uint32_t p) {
            lead += Blue(p) - Red(p);
            ++count;
        });
        return count ? static_cast<int>(lead / count) : 0;
    }

    // The rightmost column of the area with text-dark pixels; -1 when there is no text.
    int RightmostInk(const RECT& area) const {
        int right = -1;
        for (int y = area.top; y < area.bottom; ++y) {
            for (int x = area.left; x < area.right; ++x) {
                std::uint32_t p = pixels_[y * width_ + x];
                if (Red(p) + Green(p) + Blue(p) < 3 * 160) {
                    right = std::max(right, x);
                }
            }
        }
        return right;
    }

  private:
    static int Red(std::uint32_t p) { return (p >> 16) & 0xFF; }
    static int Green(std::uint32_t p) { return (p >> 8) & 0xFF; }
    static int Blue(std::uint32_t p) { return p & 0xFF; }

    template <typename Visit>
    void ForEach(const RECT& area, Visit visit) const {
        for (int y = area.top; y < area.bottom; ++y) {
            for (int x = area.left; x < area.right; ++x) {
                visit(pixels_[y * width_ + x]);
            }
        }
    }

    int width_ = 0;
    int height_ = 0;
    UniqueBitmap bitmap_;
    const std::uint32_t* pixels_ = nullptr;
};

}  // namespace korvane::test

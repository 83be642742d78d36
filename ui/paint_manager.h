// CPaintManagerUI: owns one window's control tree and is the hub of what draws it and
// turns its messages into notifications: fonts, the name table, receivers, timers, the
// frame presenter and the mouse router each live in a file of their own. Also the
// process-wide skin source (module instance, resource folder, archive) and the message
// loop.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "ui/control.h"
#include "ui/font_table.h"
#include "ui/frame_presenter.h"
#include "ui/listener_list.h"
#include "ui/mouse_router.h"
#include "ui/name_table.h"
#include "ui/render.h"
#include "ui/swap_damage.h"
#include "ui/timer_table.h"
#include "ui/ui_defs.h"
#include "ui/window_attributes.h"

namespace DuiLib {

// Figures of the paint passes, for the benchmark and the tests.
struct PaintStats {
    uint64_t paints = 0;         // WM_PAINT passes that drew something
    uint64_t pixelsPainted = 0;  // sum of the repainted areas
    RECT lastPaint = {};         // area of the last pass
    double lastPaintMs = 0;
};

class CPaintManagerUI {
  public:
    CPaintManagerUI();
    ~CPaintManagerUI();
    CPaintManagerUI(const CPaintManagerUI&) = delete;
    CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

    void Init(HWND hWnd);
    HWND GetPaintWindow() const { return m_hWndPaint; }

    // ---- process-wide skin source (skin_statics.cpp, message_loop.cpp) ----
    static HINSTANCE GetInstance();
    static void SetInstance(HINSTANCE hInst);
    static CDuiString GetInstancePath();
    static CDuiString GetResourcePath();
    static void SetResourcePath(LPCTSTR pStrPath);
    // Archive file inside the resource folder. It is read into memory once, on first
    // use; bCachedResourceZip is accepted for compatibility (the archive is always held).
    static void SetResourceZip(LPCTSTR pstrZip, bool bCachedResourceZip = false);
    static CDuiString GetResourceZip();
    static void MessageLoop();
    // Lets filters of the target window's manager see keyboard messages first.
    static bool TranslateMessage(const LPMSG pMsg);

    // ---- window attributes from the page (window_attributes.cpp) ----
    SIZE GetInitSize() const { return m_window.initSize; }
    void SetInitSize(int cx, int cy);
    RECT& GetCaptionRect() { return m_window.caption; }
    void SetCaptionRect(RECT& rcCaption) { m_window.caption = rcCaption; }
    SIZE GetRoundCorner() const { return m_window.roundCorner; }
    void SetRoundCorner(int cx, int cy) { m_window.roundCorner = SIZE{cx, cy}; }
    SIZE GetMinInfo() const { return m_window.minInfo; }
    void SetMinInfo(int cx, int cy) { m_window.minInfo = SIZE{cx, cy}; }
    SIZE GetMaxInfo() const { return m_window.maxInfo; }
    void SetMaxInfo(int cx, int cy) { m_window.maxInfo = SIZE{cx, cy}; }
    // Per-pixel transparent window (page attribute bktrans).
    bool IsLayered() const { return m_presenter.IsTransparent(); }
    void SetLayered(bool bLayered);
    // Window attribute from a page ("size", "caption", "bktrans", ...).
    void SetWindowAttribute(LPCTSTR pstrName, LPCTSTR pstrValue);

    // ---- fonts, referred to by index; -1 is the default font ----
    int AddFont(LPCTSTR pStrFontName, int nSize, bool bBold, bool bUnderline, bool bItalic) {
        return m_fonts.Add(pStrFontName, nSize, bBold, bUnderline, bItalic);
    }
    void SetDefaultFont(LPCTSTR pStrFontName, int nSize, bool bBold, bool bUnderline, bool bItalic);
    int GetFontCount() const { return m_fonts.Count(); }
    HFONT GetFont(int index) { return m_fonts.GdiFont(index); }
    void* GetGdiplusFont(int index) { return m_fonts.GdiplusFont(index); }

    // Attributes applied to every control of a class before its own ("Default" element).
    void AddDefaultAttributeList(LPCTSTR pStrControlName, LPCTSTR pStrControlAttrList);
    CDuiString GetDefaultAttributeList(LPCTSTR pStrControlName) const;

    ImageCache& GetImageCache() { return *m_images; }
    // Texts as drawn, kept for the repaints.
    TextCache& GetTextCache() { return m_texts; }
    // Decodes (once) an image of the skin; null when it cannot be read.
    const ImageData* GetImage(LPCTSTR bitmap);
    // Starts decoding, on a worker, the images the visible controls draw in their present
    // state; returns the files it queued. Window thread only. AttachDialog does it, so the
    // decoding overlaps the layout and the showing of the window, and the first paint finds
    // the images ready.
    std::vector<std::wstring> PreloadVisibleImages();

    // ---- control tree ----
    bool AttachDialog(CControlUI* pControl);
    CControlUI* GetRoot() const { return m_pRoot; }
    // The last control of that name in depth-first order, or null. Any thread.
    CControlUI* FindControl(LPCTSTR pstrName);
    // The topmost visible control at a client point, or null.
    CControlUI* FindControl(POINT pt);
    // The topmost enabled input target (button, option, edit) at a client point.
    CControlUI* FindInputControl(POINT pt);
    void NameTableChanged() { m_names.MarkChanged(); }
    // Forgets a control that is being destroyed (hover, focus, timers).
    void ReapObjects(CControlUI* pControl);

    // ---- receivers (notifications.cpp) ----
    bool AddNotifier(INotifyUI* pControl);
    bool RemoveNotifier(INotifyUI* pControl);
    void SendNotify(TNotifyUI& Msg);
    void SendNotify(CControlUI* pControl, LPCTSTR pstrMessage, WPARAM wParam = 0,
                    LPARAM lParam = 0);
    bool AddMessageFilter(IMessageFilterUI* pFilter);
    bool AddPreMessageFilter(IMessageFilterUI* pFilter) { return AddMessageFilter(pFilter); }
    bool RemoveMessageFilter(IMessageFilterUI* pFilter);
    bool HasMessageFilters() const { return !m_filters.Empty(); }
    // Lets the filters see a message; true (with lRes) when one of them handled it.
    bool RunMessageFilters(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);

    CControlUI* GetFocus() const { return m_pFocus; }
    void SetFocus(CControlUI* pControl);

    bool SetTimer(CControlUI* pControl, UINT nTimerID, UINT uElapse) {
        return m_timers.Set(pControl, nTimerID, uElapse);
    }
    bool KillTimer(CControlUI* pControl, UINT nTimerID) {
        return m_timers.Kill(pControl, nTimerID);
    }
    void KillTimer(CControlUI* pControl) { m_timers.KillAll(pControl); }

    // Repaint requests: safe from any thread.
    void Invalidate();
    void Invalidate(const RECT& rcItem);
    void Invalidate(const std::vector<RECT>& rects);
    SwapDamage& GetSwapDamage() { return m_swapDamage; }
    void NeedUpdate() { m_bUpdateNeeded.store(true); }
    // Lays the tree out now if something asked for it (UI thread).
    void EnsureLayout();

    PaintStats GetPaintStats() const;
    void ResetPaintStats();

    bool MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    // Draws the invalid part into the back buffer and shows it (UI thread).
    void Paint();

    // The tooltip window, once a control with a tooltip has been hovered (tests).
    HWND GetTooltipWindow() const { return m_mouse.Tip().Window(); }

  private:
    bool HandleDrawing(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    bool HandleInput(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    void PrintClient(HDC hdc);
    void ShowFirstLayeredFrame();
    bool SetCursorOfControl(LPARAM lParam);
    LRESULT ReflectControlColour(UINT uMsg, WPARAM wParam, LPARAM lParam);
    void OnDestroy();
    // Draws the areas into the back buffer, each cut to the buffer, as one paint pass.
    void RenderAreas(const std::vector<RECT>& areas);
    void RecordPaint(const RECT& bounds, uint64_t pixels, double milliseconds);

    HWND m_hWndPaint = nullptr;
    CControlUI* m_pRoot = nullptr;
    std::unique_ptr<ImageCache> m_images;
    TextCache m_texts;
    CanvasDIB m_canvas;
    FramePresenter m_presenter;
    SwapDamage m_swapDamage;
    std::atomic<bool> m_bUpdateNeeded{true};
    RECT m_rcLayout = {};

    WindowAttributes m_window;
    FontTable m_fonts;
    std::map<std::wstring, std::wstring> m_defaultAttributes;
    NameTable m_names;
    ListenerList<INotifyUI> m_notifiers;
    ListenerList<IMessageFilterUI> m_filters;
    TimerTable m_timers;
    MouseRouter m_mouse{*this};
    CControlUI* m_pFocus = nullptr;

    mutable std::mutex m_statsLock;
    PaintStats m_stats;
};

}  // namespace DuiLib

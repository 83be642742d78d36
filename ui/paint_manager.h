// CPaintManagerUI: owns one window's control tree and everything needed to draw it and
// turn mouse input into notifications. Also the process-wide skin source (module
// instance, resource folder, archive) and the message loop.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "ui/control.h"
#include "ui/render.h"
#include "ui/ui_defs.h"

namespace DuiLib {

struct FontInfo {
    std::wstring name;
    int size = 12;
    bool bold = false;
    bool underline = false;
    bool italic = false;
    HFONT hFont = nullptr;   // for native edit boxes, made on first use
    void* gpFont = nullptr;  // GDI+ font, made on first use
};

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

    // ---- process-wide skin source ----
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

    // ---- window attributes from the page ----
    SIZE GetInitSize() const { return m_szInitWindowSize; }
    void SetInitSize(int cx, int cy);
    RECT& GetCaptionRect() { return m_rcCaption; }
    void SetCaptionRect(RECT& rcCaption) { m_rcCaption = rcCaption; }
    SIZE GetRoundCorner() const { return m_szRoundCorner; }
    void SetRoundCorner(int cx, int cy) { m_szRoundCorner = SIZE{cx, cy}; }
    SIZE GetMinInfo() const { return m_szMinWindow; }
    void SetMinInfo(int cx, int cy) { m_szMinWindow = SIZE{cx, cy}; }
    SIZE GetMaxInfo() const { return m_szMaxWindow; }
    void SetMaxInfo(int cx, int cy) { m_szMaxWindow = SIZE{cx, cy}; }
    // Per-pixel transparent window (page attribute bktrans).
    bool IsLayered() const { return m_bLayered; }
    void SetLayered(bool bLayered);
    // Window attribute from a page ("size", "caption", "bktrans", ...).
    void SetWindowAttribute(LPCTSTR pstrName, LPCTSTR pstrValue);

    // ---- fonts, referred to by index; -1 is the default font ----
    int AddFont(LPCTSTR pStrFontName, int nSize, bool bBold, bool bUnderline, bool bItalic);
    void SetDefaultFont(LPCTSTR pStrFontName, int nSize, bool bBold, bool bUnderline, bool bItalic);
    int GetFontCount() const { return static_cast<int>(m_fonts.size()); }
    HFONT GetFont(int index);
    void* GetGdiplusFont(int index);

    // Attributes applied to every control of a class before its own ("Default" element).
    void AddDefaultAttributeList(LPCTSTR pStrControlName, LPCTSTR pStrControlAttrList);
    CDuiString GetDefaultAttributeList(LPCTSTR pStrControlName) const;

    ImageCache& GetImageCache() { return *m_images; }
    // Decodes (once) an image of the skin; null when it cannot be read.
    const ImageData* GetImage(LPCTSTR bitmap);

    // ---- control tree ----
    bool AttachDialog(CControlUI* pControl);
    CControlUI* GetRoot() const { return m_pRoot; }
    // The last control of that name in depth-first order, or null. Any thread.
    CControlUI* FindControl(LPCTSTR pstrName);
    // The topmost visible control at a client point, or null.
    CControlUI* FindControl(POINT pt);
    // The topmost enabled input target (button, option, edit) at a client point.
    CControlUI* FindInputControl(POINT pt);
    void NameTableChanged();
    // Forgets a control that is being destroyed (hover, focus, timers).
    void ReapObjects(CControlUI* pControl);

    bool AddNotifier(INotifyUI* pControl);
    bool RemoveNotifier(INotifyUI* pControl);
    void SendNotify(TNotifyUI& Msg);
    void SendNotify(CControlUI* pControl, LPCTSTR pstrMessage, WPARAM wParam = 0,
                    LPARAM lParam = 0);
    bool AddMessageFilter(IMessageFilterUI* pFilter);
    bool AddPreMessageFilter(IMessageFilterUI* pFilter) { return AddMessageFilter(pFilter); }
    bool RemoveMessageFilter(IMessageFilterUI* pFilter);

    CControlUI* GetFocus() const { return m_pFocus; }
    void SetFocus(CControlUI* pControl);

    bool SetTimer(CControlUI* pControl, UINT nTimerID, UINT uElapse);
    bool KillTimer(CControlUI* pControl, UINT nTimerID);
    void KillTimer(CControlUI* pControl);

    // Repaint requests: safe from any thread.
    void Invalidate();
    void Invalidate(const RECT& rcItem);
    void NeedUpdate() { m_bUpdateNeeded.store(true); }
    // Lays the tree out now if something asked for it (UI thread).
    void EnsureLayout();

    PaintStats GetPaintStats() const;
    void ResetPaintStats();

    bool MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    // Draws the invalid part into the back buffer and shows it (UI thread).
    void Paint();

  private:
    void RenderArea(const RECT& rcPaint);
    // Shows the back buffer in a layered window; dirty limits the update where possible.
    void PresentLayered(const RECT* dirty);
    // Where layered windows are not blended (see render::SystemBlendsLayeredWindows), a
    // transparent page is drawn like any other and its fully transparent pixels are cut
    // away with a window region: all that such a system shows of it anyway.
    void UpdateRegionFromAlpha();
    void EnsureFont(FontInfo& font);
    void RebuildNameTable();
    void SendEvent(CControlUI* pControl, int type, POINT pt, WPARAM wParam = 0, LPARAM lParam = 0);
    bool HandleMouse(UINT uMsg, WPARAM wParam, LPARAM lParam);
    // Shows the hovered control's tooltip text (or hides the tip when it has none).
    void UpdateToolTip(CControlUI* hover);
    void ReleaseFonts();

    HWND m_hWndPaint = nullptr;
    CControlUI* m_pRoot = nullptr;
    std::unique_ptr<ImageCache> m_images;
    CanvasDIB m_canvas;
    bool m_bLayered = false;
    bool m_bRegionLayered = false;  // transparency shown by a window region instead
    bool m_bRegionDirty = false;
    std::atomic<bool> m_bUpdateNeeded{true};
    RECT m_rcLayout = {};

    SIZE m_szInitWindowSize = {};
    RECT m_rcCaption = {};
    SIZE m_szRoundCorner = {};
    SIZE m_szMinWindow = {};
    SIZE m_szMaxWindow = {};

    std::vector<FontInfo> m_fonts;
    FontInfo m_defaultFont;
    std::map<std::wstring, std::wstring> m_defaultAttributes;

    std::vector<INotifyUI*> m_notifiers;
    std::vector<IMessageFilterUI*> m_filters;

    CControlUI* m_pFocus = nullptr;
    CControlUI* m_pEventHover = nullptr;
    CControlUI* m_pEventClick = nullptr;
    bool m_bMouseTracking = false;
    HWND m_hwndTooltip = nullptr;
    std::wstring m_sTooltipText;  // the tool keeps a pointer to it

  public:
    // The tooltip window, once a control with a tooltip has been hovered (tests).
    HWND GetTooltipWindow() const { return m_hwndTooltip; }

  private:
    struct TimerInfo {
        CControlUI* control;
        UINT localId;
    };
    std::map<UINT_PTR, TimerInfo> m_timers;  // by Win32 timer id

    // Name look-up table, rebuilt lazily under its own lock (workers look names up too).
    CRITICAL_SECTION m_nameLock;
    bool m_bNamesDirty = true;
    std::unordered_map<std::wstring, CControlUI*> m_names;

    mutable CRITICAL_SECTION m_statsLock;
    PaintStats m_stats;
};

}  // namespace DuiLib

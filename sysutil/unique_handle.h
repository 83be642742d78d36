// Small owners for Win32 handles: each closes what it holds, none can be copied. One template
// serves every kind; a kind's traits say what its handle is, which values hold nothing and
// how it is given back. Header-only, so the engine and the UI framework use it too.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <utility>

namespace korvane {

template <typename Traits>
class UniqueOwner {
  public:
    using Handle = typename Traits::Handle;

    UniqueOwner() = default;
    explicit UniqueOwner(Handle h) : h_(h) {}
    ~UniqueOwner() { Reset(); }
    UniqueOwner(const UniqueOwner&) = delete;
    UniqueOwner& operator=(const UniqueOwner&) = delete;
    UniqueOwner(UniqueOwner&& other) noexcept : h_(other.Release()) {}
    UniqueOwner& operator=(UniqueOwner&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }

    Handle Get() const { return h_; }
    bool IsValid() const { return Traits::Holds(h_); }
    // For calls that hand a new handle back through a pointer.
    Handle* Receive() {
        Reset();
        return &h_;
    }
    void Reset(Handle h = Traits::kNone) {
        if (IsValid()) {
            Traits::Close(h_);
        }
        h_ = h;
    }
    // Gives the handle up without closing it.
    Handle Release() { return std::exchange(h_, Traits::kNone); }

  private:
    Handle h_ = Traits::kNone;
};

// A kernel object handle (file, process, thread, pipe, event). Both null and
// INVALID_HANDLE_VALUE count as "nothing held".
struct KernelHandleTraits {
    using Handle = HANDLE;
    static constexpr HANDLE kNone = nullptr;
    static bool Holds(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { CloseHandle(h); }
};
using UniqueHandle = UniqueOwner<KernelHandleTraits>;

// A directory search of FindFirstFileW.
struct FindHandleTraits : KernelHandleTraits {
    static void Close(HANDLE h) { FindClose(h); }
};
using UniqueFindHandle = UniqueOwner<FindHandleTraits>;

// A module loaded with LoadLibrary.
struct ModuleTraits {
    using Handle = HMODULE;
    static constexpr HMODULE kNone = nullptr;
    static bool Holds(HMODULE m) { return m != nullptr; }
    static void Close(HMODULE m) { FreeLibrary(m); }
};
using UniqueModule = UniqueOwner<ModuleTraits>;

// An open registry key (never one of the predefined roots).
struct RegistryKeyTraits {
    using Handle = HKEY;
    static constexpr HKEY kNone = nullptr;
    static bool Holds(HKEY k) { return k != nullptr; }
    static void Close(HKEY k) { RegCloseKey(k); }
};
using UniqueRegistryKey = UniqueOwner<RegistryKeyTraits>;

// A WinINet session, connection or request.
struct InternetHandleTraits {
    using Handle = HINTERNET;
    static constexpr HINTERNET kNone = nullptr;
    static bool Holds(HINTERNET h) { return h != nullptr; }
    static void Close(HINTERNET h) { InternetCloseHandle(h); }
};
using UniqueInternetHandle = UniqueOwner<InternetHandleTraits>;

// A memory device context of CreateCompatibleDC.
struct MemoryDcTraits {
    using Handle = HDC;
    static constexpr HDC kNone = nullptr;
    static bool Holds(HDC dc) { return dc != nullptr; }
    static void Close(HDC dc) { DeleteDC(dc); }
};
using UniqueMemoryDc = UniqueOwner<MemoryDcTraits>;

// A GDI object given back with DeleteObject: a region, bitmap, font, brush or pen.
template <typename T>
struct GdiObjectTraits {
    using Handle = T;
    static constexpr T kNone = nullptr;
    static bool Holds(T object) { return object != nullptr; }
    static void Close(T object) { DeleteObject(object); }
};
using UniqueRegion = UniqueOwner<GdiObjectTraits<HRGN>>;
using UniqueBitmap = UniqueOwner<GdiObjectTraits<HBITMAP>>;

// A handle of another API given back with Close(handle): the CryptoAPI's providers, keys
// and hashes, for one. None is the value that holds nothing.
template <typename T, void (*CloseFn)(T), T None = T{}>
struct FunctionTraits {
    using Handle = T;
    static constexpr T kNone = None;
    static bool Holds(T h) { return h != None; }
    static void Close(T h) { CloseFn(h); }
};
template <typename T, void (*Close)(T), T None = T{}>
using UniqueResource = UniqueOwner<FunctionTraits<T, Close, None>>;

// A critical section for the life of its owner, and the hold of its lock for a scope.
class CriticalSection {
  public:
    CriticalSection() { InitializeCriticalSection(&section_); }
    ~CriticalSection() { DeleteCriticalSection(&section_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter() { EnterCriticalSection(&section_); }
    void Leave() { LeaveCriticalSection(&section_); }

  private:
    CRITICAL_SECTION section_;
};

class CriticalSectionHold {
  public:
    explicit CriticalSectionHold(CriticalSection& section) : section_(section) { section_.Enter(); }
    ~CriticalSectionHold() { section_.Leave(); }
    CriticalSectionHold(const CriticalSectionHold&) = delete;
    CriticalSectionHold& operator=(const CriticalSectionHold&) = delete;

  private:
    CriticalSection& section_;
};

}  // namespace korvane

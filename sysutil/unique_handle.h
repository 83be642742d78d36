// Small owners for Win32 handles: each closes what it holds, none can be copied.
#pragma once

#include <windows.h>

#include <utility>

namespace korvane {

// A kernel object handle (file, process, thread, pipe). Both null and
// INVALID_HANDLE_VALUE count as "nothing held".
class UniqueHandle {
  public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE h) : h_(h) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            Reset(std::exchange(other.h_, nullptr));
        }
        return *this;
    }

    HANDLE Get() const { return h_; }
    bool IsValid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
    HANDLE* Receive() {
        Reset();
        return &h_;
    }
    void Reset(HANDLE h = nullptr) {
        if (IsValid()) {
            CloseHandle(h_);
        }
        h_ = h;
    }

  private:
    HANDLE h_ = nullptr;
};

// A module loaded with LoadLibrary.
class UniqueModule {
  public:
    UniqueModule() = default;
    explicit UniqueModule(HMODULE m) : m_(m) {}
    ~UniqueModule() {
        if (m_) {
            FreeLibrary(m_);
        }
    }
    UniqueModule(const UniqueModule&) = delete;
    UniqueModule& operator=(const UniqueModule&) = delete;

    HMODULE Get() const { return m_; }

  private:
    HMODULE m_ = nullptr;
};

// A directory search of FindFirstFileW, closed with FindClose.
class UniqueFindHandle {
  public:
    UniqueFindHandle() = default;
    explicit UniqueFindHandle(HANDLE h) : h_(h) {}
    ~UniqueFindHandle() {
        if (IsValid()) {
            FindClose(h_);
        }
    }
    UniqueFindHandle(const UniqueFindHandle&) = delete;
    UniqueFindHandle& operator=(const UniqueFindHandle&) = delete;

    HANDLE Get() const { return h_; }
    bool IsValid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }

  private:
    HANDLE h_ = nullptr;
};

// A handle of another API, given back with Close(handle): the CryptoAPI's providers, keys
// and hashes, for one. None is the value that holds nothing.
template <typename T, void (*Close)(T), T None = T{}>
class UniqueResource {
  public:
    UniqueResource() = default;
    explicit UniqueResource(T value) : value_(value) {}
    ~UniqueResource() { Reset(); }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    T Get() const { return value_; }
    bool IsValid() const { return value_ != None; }
    T* Receive() {
        Reset();
        return &value_;
    }
    void Reset(T value = None) {
        if (IsValid()) {
            Close(value_);
        }
        value_ = value;
    }

  private:
    T value_ = None;
};

}  // namespace korvane

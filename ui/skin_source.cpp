#include "ui/skin_source.h"

#include <memory>
#include <mutex>

#include "sysutil/unique_handle.h"
#include "sysutil/utf8_text.h"
#include "ui/core/zip_archive.h"

namespace DuiLib {
namespace skin {

namespace {

struct SkinState {
    std::mutex lock;
    std::wstring folder;
    std::wstring zipName;
    // Loaded on first use; shared so a reader keeps it alive while the source changes.
    std::shared_ptr<ZipArchive> zip;
    bool zipTried = false;
    std::wstring zipError;
};

SkinState& State() {
    static SkinState state;
    return state;
}

bool IsAbsolutePath(const std::wstring& path) {
    return (path.size() >= 2 && path[1] == L':') ||
           (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\');
}

bool ReadWholeFile(const std::wstring& path, std::vector<uint8_t>* out, std::wstring* error) {
    korvane::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        *error = L"cannot open " + path;
        return false;
    }
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart > 512ll * 1024 * 1024) {
        *error = L"cannot size " + path;
        return false;
    }
    out->resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < out->size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(out->size() - done, 1u << 30));
        DWORD got = 0;
        if (!::ReadFile(file.Get(), out->data() + done, chunk, &got, nullptr) || got == 0) {
            *error = L"cannot read " + path;
            out->clear();
            return false;
        }
        done += got;
    }
    return true;
}

std::shared_ptr<ZipArchive> CurrentZip(std::wstring* error) {
    SkinState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.zipName.empty()) {
        return nullptr;
    }
    if (!s.zipTried) {
        s.zipTried = true;
        std::wstring path = IsAbsolutePath(s.zipName) ? s.zipName : s.folder + s.zipName;
        std::vector<uint8_t> bytes;
        std::wstring readError;
        if (!ReadWholeFile(path, &bytes, &readError)) {
            s.zipError = readError;
        } else {
            std::string openError;
            s.zip = ZipArchive::Open(std::move(bytes), &openError);
            if (!s.zip) {
                s.zipError = path + L": " + FromUtf8(openError);
            }
        }
    }
    if (!s.zip) {
        *error = s.zipError;
    }
    return s.zip;
}

}  // namespace

std::string ToUtf8(const std::wstring& text) {
    return korvane::Utf8FromWide(text);
}

std::wstring FromUtf8(const std::string& text) {
    return korvane::WideFromUtf8(text);
}

void SetFolder(const std::wstring& folder) {
    SkinState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    std::wstring f = folder;
    if (!f.empty() && f.back() != L'\\' && f.back() != L'/') {
        f += L'\\';
    }
    if (f != s.folder) {
        s.folder = f;
        // A relative archive name now points elsewhere.
        s.zipTried = false;
        s.zip.reset();
    }
}

std::wstring Folder() {
    SkinState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.folder;
}

void SetZip(const std::wstring& name) {
    SkinState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    if (name == s.zipName && s.zipTried && s.zip) {
        return;  // same archive, already in memory
    }
    s.zipName = name;
    s.zipTried = false;
    s.zip.reset();
    s.zipError.clear();
}

std::wstring ZipName() {
    SkinState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.zipName;
}

bool SetZipFromResource(HINSTANCE instance, const wchar_t* type, const wchar_t* name,
                        std::wstring* error) {
    HRSRC res = ::FindResourceW(instance, name, type);
    HGLOBAL global = res ? ::LoadResource(instance, res) : nullptr;
    const void* data = global ? ::LockResource(global) : nullptr;
    if (data == nullptr) {
        *error = L"skin archive resource not found";
        return false;
    }
    const auto* p = static_cast<const uint8_t*>(data);
    std::vector<uint8_t> bytes(p, p + ::SizeofResource(instance, res));
    std::string openError;
    std::shared_ptr<ZipArchive> zip = ZipArchive::Open(std::move(bytes), &openError);
    if (!zip) {
        *error = L"skin archive resource: " + FromUtf8(openError);
        return false;
    }
    SkinState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    s.zipName = L"<resource>";
    s.zip = std::move(zip);
    s.zipTried = true;
    return true;
}

bool ReadFile(const std::wstring& name, std::vector<uint8_t>* out, std::wstring* error) {
    out->clear();
    if (name.empty()) {
        *error = L"empty file name";
        return false;
    }
    if (IsAbsolutePath(name)) {
        return ReadWholeFile(name, out, error);
    }
    std::wstring zipError;
    std::shared_ptr<ZipArchive> zip = CurrentZip(&zipError);
    if (zip) {
        std::string readError;
        if (!zip->Read(ToUtf8(name), out, &readError)) {
            *error = name + L": " + FromUtf8(readError);
            return false;
        }
        return true;
    }
    if (!ZipName().empty()) {
        *error = zipError;
        return false;
    }
    return ReadWholeFile(Folder() + name, out, error);
}

}  // namespace skin
}  // namespace DuiLib

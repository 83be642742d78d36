#include "reinstall/image_check.h"

#include <windows.h>

#include <cwctype>

#include "reinstall/image_catalogue.h"

namespace korvane {

namespace {

constexpr wchar_t kVerifiedSection[] = L"VerifiedImages";

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

// "size|time|path" of the file as it is now; empty when it cannot be asked.
std::wstring FileIdentity(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return std::wstring();
    }
    const unsigned long long size =
        (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    const unsigned long long time =
        (static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) |
        data.ftLastWriteTime.dwLowDateTime;
    std::wstring folded = path;
    for (wchar_t& c : folded) {
        c = static_cast<wchar_t>(towlower(c));
    }
    return std::to_wstring(size) + L"|" + std::to_wstring(time) + L"|" + folded;
}

}  // namespace

std::string NormalisedSha256(std::wstring_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    if (text.size() != 64) {
        return std::string();
    }
    std::string hex;
    for (wchar_t c : text) {
        if (!iswxdigit(c) || c > 0x7f) {
            return std::string();
        }
        hex += static_cast<char>(towlower(c));
    }
    return hex;
}

CatalogueHash ReadImageHash(const std::wstring& appDataFolder, const std::wstring& key) {
    CatalogueHash hash;
    const std::wstring value = ReadCatalogueValue(appDataFolder, kHashSection, key);
    hash.hex = NormalisedSha256(value);
    hash.malformed = hash.hex.empty() && !value.empty();
    return hash;
}

ImageCheck CheckImageFile(const std::wstring& path, const std::string& expectedHex,
                          const DigestProgress& progress) {
    bool stopped = false;
    const std::string actual = FileSha256(path, [&](std::uint64_t done, std::uint64_t total) {
        stopped = progress && !progress(done, total);
        return !stopped;
    });
    if (stopped) {
        return ImageCheck::kStopped;
    }
    return !actual.empty() && actual == expectedHex ? ImageCheck::kMatch : ImageCheck::kMismatch;
}

bool SetImageAside(const std::wstring& path) {
    const std::wstring aside = path + L".bad";
    SetFileAttributesW(aside.c_str(), FILE_ATTRIBUTE_NORMAL);
    return MoveFileExW(path.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool VerifiedImages::Remembers(const std::wstring& path, const std::string& hex) const {
    const std::wstring identity = FileIdentity(path);
    return !hex.empty() && !identity.empty() &&
           options_.ReadOption(kVerifiedSection, std::wstring(hex.begin(), hex.end())) == identity;
}

void VerifiedImages::Remember(const std::wstring& path, const std::string& hex) const {
    const std::wstring identity = FileIdentity(path);
    if (!hex.empty() && !identity.empty()) {
        options_.WriteOption(kVerifiedSection, std::wstring(hex.begin(), hex.end()), identity);
    }
}

}  // namespace korvane

#include "software/entry_place.h"

#include <array>
#include <vector>

namespace korvane {

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'/' || c == L'\\';
}

bool IsForbiddenChar(wchar_t c) {
    return c < 0x20 || std::wstring_view(L"<>:\"|?*").find(c) != std::wstring_view::npos;
}

wchar_t Upper(wchar_t c) {
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

// Windows opens the device whatever extension follows: "nul.txt" is NUL too.
bool IsDeviceName(std::wstring_view part) {
    std::wstring_view base = part.substr(0, part.find(L'.'));
    while (!base.empty() && base.back() == L' ') {
        base.remove_suffix(1);
    }
    auto same = [base](std::wstring_view device) {
        if (base.size() != device.size()) {
            return false;
        }
        for (size_t i = 0; i < base.size(); ++i) {
            if (Upper(base[i]) != device[i]) {
                return false;
            }
        }
        return true;
    };
    static constexpr std::array<std::wstring_view, 6> kDevices = {L"CON", L"PRN",    L"AUX",
                                                                  L"NUL", L"CONIN$", L"CONOUT$"};
    for (std::wstring_view device : kDevices) {
        if (same(device)) {
            return true;
        }
    }
    const bool numbered = base.size() == 4 && base[3] >= L'0' && base[3] <= L'9';
    return numbered &&
           (same(std::wstring(L"COM") + base[3]) || same(std::wstring(L"LPT") + base[3]));
}

bool IsAcceptablePart(std::wstring_view part) {
    if (part.back() == L'.' || part.back() == L' ') {
        return false;  // "..", "...", "x." and "x " all reach another name
    }
    for (wchar_t c : part) {
        if (IsForbiddenChar(c)) {
            return false;
        }
    }
    return !IsDeviceName(part);
}

std::vector<std::wstring_view> SplitParts(std::wstring_view name) {
    std::vector<std::wstring_view> parts;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = start;
        while (end < name.size() && !IsSeparator(name[end])) {
            ++end;
        }
        std::wstring_view part = name.substr(start, end - start);
        if (!part.empty() && part != L".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    return parts;
}

}  // namespace

std::optional<EntryPlace> PlaceOfEntry(std::wstring_view name) {
    // A leading separator means the drive's root ("\x") or a UNC share ("\\host\x").
    if (name.empty() || IsSeparator(name.front())) {
        return std::nullopt;
    }
    EntryPlace place;
    place.isFolder = IsSeparator(name.back());
    for (std::wstring_view part : SplitParts(name)) {
        if (!IsAcceptablePart(part)) {
            return std::nullopt;
        }
        if (!place.relativePath.empty()) {
            place.relativePath += L'\\';
        }
        place.relativePath += part;
    }
    if (place.relativePath.empty()) {
        return std::nullopt;
    }
    return place;
}

}  // namespace korvane

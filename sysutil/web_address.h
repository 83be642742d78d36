// Whether a text may be used as a web address: only http and https ones are.
#pragma once

#include <string>

namespace korvane {

// True for "http://host..." and "https://host..." (scheme in any case) with a host part.
inline bool IsWebAddress(const std::wstring& text) {
    for (const wchar_t* scheme : {L"http://", L"https://"}) {
        const std::wstring prefix(scheme);
        if (text.size() <= prefix.size()) {
            continue;
        }
        bool same = true;
        for (size_t i = 0; i < prefix.size() && same; ++i) {
            wchar_t c = text[i];
            if (c >= L'A' && c <= L'Z') {
                c = static_cast<wchar_t>(c - L'A' + L'a');
            }
            same = c == prefix[i];
        }
        if (same && text[prefix.size()] != L'/') {
            return true;
        }
    }
    return false;
}

}  // namespace korvane

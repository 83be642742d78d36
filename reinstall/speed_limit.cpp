#include "reinstall/speed_limit.h"

#include <cwctype>
#include <limits>

namespace korvane {

std::int32_t ParseSpeedLimit(const std::wstring& text) {
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    size_t i = 0;
    while (i < text.size() && std::iswspace(text[i])) {
        ++i;
    }
    if (i < text.size() && text[i] == L'+') {
        ++i;
    }
    std::int32_t value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        int digit = text[i] - L'0';
        if (value > (kMax - digit) / 10) {
            return kMax;
        }
        value = value * 10 + digit;
    }
    return value;
}

}  // namespace korvane

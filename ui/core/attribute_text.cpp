#include "ui/core/attribute_text.h"

#include <climits>

namespace DuiLib {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

// Splits "a,b,c" into exactly count integers.
bool ParseIntList(std::string_view text, int* values, int count) {
    for (int i = 0; i < count; ++i) {
        size_t comma = text.find(',');
        bool last = i == count - 1;
        if (last != (comma == std::string_view::npos))
            return false;
        if (!ParseInt(last ? text : text.substr(0, comma), &values[i]))
            return false;
        if (!last)
            text.remove_prefix(comma + 1);
    }
    return true;
}

}  // namespace

bool ParseInt(std::string_view text, int* value) {
    text = Trim(text);
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return false;
    long long v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
        if (v > static_cast<long long>(INT_MAX) + 1)
            return false;
    }
    if (negative)
        v = -v;
    if (v > INT_MAX || v < INT_MIN)
        return false;
    *value = static_cast<int>(v);
    return true;
}

bool ParseColor(std::string_view text, uint32_t* argb) {
    text = Trim(text);
    if (text.empty() || text[0] != '#')
        return false;
    text.remove_prefix(1);
    if (text.size() != 6 && text.size() != 8)
        return false;
    uint32_t v = 0;
    for (char c : text) {
        int h = HexValue(c);
        if (h < 0)
            return false;
        v = (v << 4) | static_cast<uint32_t>(h);
    }
    if (text.size() == 6)
        v |= 0xFF000000u;
    *argb = v;
    return true;
}

bool ParseRect(std::string_view text, Rect* rect) {
    int v[4];
    if (!ParseIntList(text, v, 4))
        return false;
    *rect = Rect{v[0], v[1], v[2], v[3]};
    return true;
}

bool ParseSize(std::string_view text, Size* size) {
    int v[2];
    if (!ParseIntList(text, v, 2))
        return false;
    *size = Size{v[0], v[1]};
    return true;
}

bool ParseBool(std::string_view text, bool* value) {
    text = Trim(text);
    if (EqualsNoCase(text, "true")) {
        *value = true;
        return true;
    }
    if (EqualsNoCase(text, "false")) {
        *value = false;
        return true;
    }
    return false;
}

bool ParseAlign(std::string_view text, unsigned* flags) {
    constexpr unsigned kHorizontal = kAlignLeft | kAlignCenter | kAlignRight;
    constexpr unsigned kVertical = kAlignTop | kAlignVCenter | kAlignBottom;
    unsigned result = kAlignDefault;
    bool any = false;
    size_t pos = 0;
    while (pos < text.size()) {
        if (IsBlank(text[pos]) || text[pos] == ',') {
            ++pos;
            continue;
        }
        size_t end = pos;
        while (end < text.size() && !IsBlank(text[end]) && text[end] != ',')
            ++end;
        std::string_view word = text.substr(pos, end - pos);
        pos = end;
        any = true;
        if (EqualsNoCase(word, "left")) {
            result = (result & ~kHorizontal) | kAlignLeft;
        } else if (EqualsNoCase(word, "center")) {
            result = (result & ~kHorizontal) | kAlignCenter;
        } else if (EqualsNoCase(word, "right")) {
            result = (result & ~kHorizontal) | kAlignRight;
        } else if (EqualsNoCase(word, "top")) {
            result = (result & ~kVertical) | kAlignTop;
        } else if (EqualsNoCase(word, "vcenter")) {
            result = (result & ~kVertical) | kAlignVCenter;
        } else if (EqualsNoCase(word, "bottom")) {
            result = (result & ~kVertical) | kAlignBottom;
        } else if (EqualsNoCase(word, "wrap")) {
            result |= kAlignWrap;
        } else if (EqualsNoCase(word, "centerwrap")) {
            result = (result & ~kHorizontal) | kAlignCenter | kAlignWrap;
        } else {
            return false;
        }
    }
    if (!any)
        return false;
    *flags = result;
    return true;
}

bool ParseTextPadding(std::string_view text, Rect* padding) {
    return ParseRect(text, padding);
}

bool ParseImageDescription(std::string_view text, ImageDescription* image, std::string* error) {
    *image = ImageDescription();
    std::string_view t = Trim(text);
    if (t.empty()) {
        if (error)
            *error = "empty image description";
        return false;
    }
    // A plain file name has no key='value' parts.
    if (t.find('=') == std::string_view::npos) {
        if (t.find('\'') != std::string_view::npos) {
            if (error)
                *error = "stray quote in image name";
            return false;
        }
        image->file.assign(t);
        return true;
    }

    auto fail = [&](std::string message) {
        *image = ImageDescription();
        if (error)
            *error = std::move(message) + " in image description \"" + std::string(t) + "\"";
        return false;
    };

    size_t pos = 0;
    while (pos < t.size()) {
        if (IsBlank(t[pos])) {
            ++pos;
            continue;
        }
        size_t eq = t.find('=', pos);
        if (eq == std::string_view::npos)
            return fail("missing '='");
        std::string_view key = Trim(t.substr(pos, eq - pos));
        size_t q = eq + 1;
        while (q < t.size() && IsBlank(t[q]))
            ++q;
        if (q >= t.size() || t[q] != '\'')
            return fail("value of '" + std::string(key) + "' not quoted");
        size_t close = t.find('\'', q + 1);
        if (close == std::string_view::npos)
            return fail("unclosed quote");
        std::string_view value = t.substr(q + 1, close - q - 1);
        pos = close + 1;

        if (key == "file" || key == "res") {
            if (Trim(value).empty())
                return fail("empty file name");
            image->file.assign(value);
        } else if (key == "dest") {
            if (!ParseRect(value, &image->dest))
                return fail("bad dest rectangle");
            image->hasDest = true;
        } else if (key == "source") {
            if (!ParseRect(value, &image->source))
                return fail("bad source rectangle");
            image->hasSource = true;
        } else if (key == "corner") {
            if (!ParseRect(value, &image->corner))
                return fail("bad corner rectangle");
            image->hasCorner = true;
        } else if (key == "fade") {
            int fade;
            if (!ParseInt(value, &fade) || fade < 0 || fade > 255)
                return fail("bad fade value");
            image->fade = fade;
        } else if (key == "hole") {
            if (!ParseBool(value, &image->hole))
                return fail("bad hole value");
        } else if (key == "xtiled") {
            if (!ParseBool(value, &image->xtiled))
                return fail("bad xtiled value");
        } else if (key == "ytiled") {
            if (!ParseBool(value, &image->ytiled))
                return fail("bad ytiled value");
        } else {
            return fail("unknown key '" + std::string(key) + "'");
        }
    }
    if (image->file.empty())
        return fail("no file");
    return true;
}

}  // namespace DuiLib

#include "ui/core/dui_string.h"

#include <cwchar>
#include <cwctype>

namespace DuiLib {
namespace {

// Longest text Format produces; beyond this the format is taken as runaway.
constexpr size_t kMaxFormatLength = 16u * 1024 * 1024;

wchar_t ToLower(wchar_t c) {
    if (c >= L'A' && c <= L'Z')
        return static_cast<wchar_t>(c - L'A' + L'a');
    if (c < 0x80)
        return c;
    return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
}

wchar_t ToUpper(wchar_t c) {
    if (c >= L'a' && c <= L'z')
        return static_cast<wchar_t>(c - L'a' + L'A');
    if (c < 0x80)
        return c;
    return static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
}

const wchar_t* OrEmpty(const wchar_t* text) {
    return text ? text : L"";
}

// In a wide format "%s" and "%c" take wide arguments (the Windows convention the pages'
// code is written in), but C99 printf, which mingw's libstdc++ also selects, reads them
// as narrow. Spell them "%ls"/"%lc" so both runtimes agree. Returns false when nothing
// needed changing.
bool WidenBareStringConversions(const wchar_t* format, std::wstring* out) {
    bool changed = false;
    for (const wchar_t* p = format; *p;) {
        if (*p != L'%') {
            if (changed)
                out->push_back(*p);
            ++p;
            continue;
        }
        const wchar_t* conversion = p++;
        if (*p == L'%') {
            ++p;
            if (changed)
                out->append(L"%%");
            continue;
        }
        while (*p && std::wcschr(L"-+ #0", *p))
            ++p;
        while (*p == L'*' || (*p >= L'0' && *p <= L'9'))
            ++p;
        if (*p == L'.') {
            ++p;
            while (*p == L'*' || (*p >= L'0' && *p <= L'9'))
                ++p;
        }
        const wchar_t* length = p;
        while (*p && std::wcschr(L"hlLqjztI", *p)) {
            ++p;
            while (p[-1] == L'I' && *p >= L'0' && *p <= L'9')
                ++p;  // I64, I32
        }
        if ((*p == L's' || *p == L'c') && p == length) {
            if (!changed) {
                out->assign(format, static_cast<size_t>(conversion - format));
                changed = true;
            }
            out->append(conversion, static_cast<size_t>(p - conversion));
            out->push_back(L'l');
            out->push_back(*p);
            ++p;
            continue;
        }
        if (*p)
            ++p;
        if (changed)
            out->append(conversion, static_cast<size_t>(p - conversion));
    }
    return changed;
}

}  // namespace

CDuiString::CDuiString(const wchar_t* text) : text_(OrEmpty(text)) {}

CDuiString::CDuiString(const wchar_t* text, int length) {
    Assign(text, length);
}

CDuiString::CDuiString(const std::wstring& text) : text_(text) {}

CDuiString::CDuiString(wchar_t ch) : text_(1, ch) {}

wchar_t CDuiString::GetAt(int index) const {
    if (index < 0 || index >= GetLength())
        return L'\0';
    return text_[static_cast<size_t>(index)];
}

void CDuiString::SetAt(int index, wchar_t ch) {
    if (index < 0 || index >= GetLength())
        return;
    text_[static_cast<size_t>(index)] = ch;
}

void CDuiString::Append(const wchar_t* text) {
    text_ += OrEmpty(text);
}

// A negative length means "up to the terminator"; a length past the terminator stops there.
void CDuiString::Assign(const wchar_t* text, int length) {
    text = OrEmpty(text);
    if (length < 0) {
        text_.assign(text);
        return;
    }
    size_t n = 0;
    while (n < static_cast<size_t>(length) && text[n] != L'\0')
        ++n;
    text_.assign(text, n);
}

CDuiString& CDuiString::operator=(const wchar_t* text) {
    if (text != text_.c_str())
        text_.assign(OrEmpty(text));
    return *this;
}

CDuiString& CDuiString::operator=(const std::wstring& text) {
    text_ = text;
    return *this;
}

CDuiString& CDuiString::operator=(wchar_t ch) {
    text_.assign(1, ch);
    return *this;
}

CDuiString& CDuiString::operator+=(const CDuiString& text) {
    text_ += text.text_;
    return *this;
}

CDuiString& CDuiString::operator+=(const wchar_t* text) {
    Append(text);
    return *this;
}

CDuiString& CDuiString::operator+=(wchar_t ch) {
    text_ += ch;
    return *this;
}

CDuiString CDuiString::operator+(const CDuiString& text) const {
    CDuiString result(*this);
    result += text;
    return result;
}

CDuiString CDuiString::operator+(const wchar_t* text) const {
    CDuiString result(*this);
    result += text;
    return result;
}

int CDuiString::Compare(const wchar_t* text) const {
    return std::wcscmp(text_.c_str(), OrEmpty(text));
}

int CDuiString::CompareNoCase(const wchar_t* text) const {
    const wchar_t* a = text_.c_str();
    const wchar_t* b = OrEmpty(text);
    for (;; ++a, ++b) {
        wchar_t x = ToLower(*a), y = ToLower(*b);
        if (x != y)
            return x < y ? -1 : 1;
        if (x == L'\0')
            return 0;
    }
}

CDuiString& CDuiString::MakeUpper() {
    for (wchar_t& c : text_)
        c = ToUpper(c);
    return *this;
}

CDuiString& CDuiString::MakeLower() {
    for (wchar_t& c : text_)
        c = ToLower(c);
    return *this;
}

CDuiString CDuiString::Left(int length) const {
    if (length <= 0)
        return CDuiString();
    return CDuiString(text_.substr(0, static_cast<size_t>(length)));
}

CDuiString CDuiString::Mid(int pos, int length) const {
    if (pos < 0)
        pos = 0;
    if (pos >= GetLength() || length == 0)
        return CDuiString();
    if (length < 0)
        return CDuiString(text_.substr(static_cast<size_t>(pos)));
    return CDuiString(text_.substr(static_cast<size_t>(pos), static_cast<size_t>(length)));
}

CDuiString CDuiString::Right(int length) const {
    if (length <= 0)
        return CDuiString();
    if (length >= GetLength())
        return *this;
    return CDuiString(text_.substr(text_.size() - static_cast<size_t>(length)));
}

int CDuiString::Find(wchar_t ch, int start) const {
    if (start < 0)
        start = 0;
    if (start >= GetLength())
        return -1;
    size_t at = text_.find(ch, static_cast<size_t>(start));
    return at == std::wstring::npos ? -1 : static_cast<int>(at);
}

int CDuiString::Find(const wchar_t* text, int start) const {
    if (start < 0)
        start = 0;
    if (start > GetLength())
        return -1;
    size_t at = text_.find(OrEmpty(text), static_cast<size_t>(start));
    return at == std::wstring::npos ? -1 : static_cast<int>(at);
}

int CDuiString::ReverseFind(wchar_t ch) const {
    size_t at = text_.rfind(ch);
    return at == std::wstring::npos ? -1 : static_cast<int>(at);
}

int CDuiString::Replace(const wchar_t* from, const wchar_t* to) {
    std::wstring_view what = OrEmpty(from);
    std::wstring_view with = OrEmpty(to);
    if (what.empty())
        return 0;
    size_t at = text_.find(what);
    if (at == std::wstring::npos)
        return 0;
    // Build the result in one pass so that a replacement containing the searched text
    // is never searched again.
    std::wstring result;
    result.reserve(text_.size());
    size_t done = 0;
    int count = 0;
    while (at != std::wstring::npos) {
        result.append(text_, done, at - done);
        result.append(with);
        done = at + what.size();
        ++count;
        at = text_.find(what, done);
    }
    result.append(text_, done, std::wstring::npos);
    text_.swap(result);
    return count;
}

int CDuiString::FormatV(const wchar_t* format, va_list args) {
    text_.clear();
    if (!format)
        return -1;
    std::wstring widened;
    if (WidenBareStringConversions(format, &widened))
        format = widened.c_str();
    // vswprintf reports truncation only as a failure, so grow until the text fits.
    size_t capacity = 256;
    for (;;) {
        std::wstring buffer(capacity, L'\0');
        va_list copy;
        va_copy(copy, args);
        int n = std::vswprintf(buffer.data(), capacity, format, copy);
        va_end(copy);
        if (n >= 0 && static_cast<size_t>(n) < capacity) {
            buffer.resize(static_cast<size_t>(n));
            text_.swap(buffer);
            return n;
        }
        if (capacity >= kMaxFormatLength)
            return -1;
        capacity *= 4;
    }
}

int CDuiString::Format(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    int n = FormatV(format, args);
    va_end(args);
    return n;
}

int CDuiString::SmallFormat(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    int n = FormatV(format, args);
    va_end(args);
    return n;
}

}  // namespace DuiLib

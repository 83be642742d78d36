#pragma once
// The framework's string: wide text with the small operations the program's pages and
// jobs use. Out-of-range positions and lengths are clamped rather than trusted.

#include <cstdarg>
#include <string>

namespace DuiLib {

class CDuiString {
  public:
    CDuiString() = default;
    CDuiString(const wchar_t* text);  // null means empty
    CDuiString(const wchar_t* text, int length);
    CDuiString(const std::wstring& text);
    CDuiString(wchar_t ch);

    const wchar_t* GetData() const { return text_.c_str(); }
    operator const wchar_t*() const { return text_.c_str(); }
    const std::wstring& Str() const { return text_; }

    int GetLength() const { return static_cast<int>(text_.size()); }
    bool IsEmpty() const { return text_.empty(); }
    void Empty() { text_.clear(); }

    // Out of range: GetAt answers L'\0', SetAt does nothing.
    wchar_t GetAt(int index) const;
    void SetAt(int index, wchar_t ch);

    void Append(const wchar_t* text);
    void Assign(const wchar_t* text, int length = -1);

    CDuiString& operator=(const wchar_t* text);
    CDuiString& operator=(const std::wstring& text);
    CDuiString& operator=(wchar_t ch);
    CDuiString& operator+=(const CDuiString& text);
    CDuiString& operator+=(const wchar_t* text);
    CDuiString& operator+=(wchar_t ch);

    CDuiString operator+(const CDuiString& text) const;
    CDuiString operator+(const wchar_t* text) const;

    bool operator==(const CDuiString& text) const { return text_ == text.text_; }
    bool operator!=(const CDuiString& text) const { return text_ != text.text_; }
    bool operator==(const wchar_t* text) const { return Compare(text) == 0; }
    bool operator!=(const wchar_t* text) const { return Compare(text) != 0; }
    bool operator<(const CDuiString& text) const { return text_ < text.text_; }

    // <0, 0, >0 like wcscmp; null compares as empty.
    int Compare(const wchar_t* text) const;
    int CompareNoCase(const wchar_t* text) const;

    CDuiString& MakeUpper();
    CDuiString& MakeLower();

    CDuiString Left(int length) const;
    CDuiString Mid(int pos, int length = -1) const;
    CDuiString Right(int length) const;

    // Index of the first match at or after start, or -1.
    int Find(wchar_t ch, int start = 0) const;
    int Find(const wchar_t* text, int start = 0) const;
    int ReverseFind(wchar_t ch) const;

    // Replaces every occurrence of from; returns how many. An empty from replaces nothing.
    int Replace(const wchar_t* from, const wchar_t* to);

    // printf-style, any length; "%s" and "%c" take wide text, as "%ls" and "%lc" do.
    // Returns the resulting length, or -1 (text left empty) when the format cannot be
    // expanded.
    int Format(const wchar_t* format, ...);
    int FormatV(const wchar_t* format, va_list args);
    // Same, for short texts.
    int SmallFormat(const wchar_t* format, ...);

  private:
    std::wstring text_;
};

inline CDuiString operator+(const wchar_t* left, const CDuiString& right) {
    CDuiString result(left);
    result += right;
    return result;
}

}  // namespace DuiLib

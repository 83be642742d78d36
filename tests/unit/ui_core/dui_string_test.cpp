#include "ui/core/dui_string.h"

#include <gtest/gtest.h>

using DuiLib::CDuiString;

TEST(CDuiString, BuildsComparesAndClamps) {
    CDuiString s(L"Hello, World");
    EXPECT_EQ(s.GetLength(), 12);
    EXPECT_TRUE(s == L"Hello, World");
    EXPECT_TRUE(s != L"hello, world");
    EXPECT_EQ(s.CompareNoCase(L"HELLO, world"), 0);
    EXPECT_LT(s.Compare(L"Hello, Worle"), 0);
    EXPECT_EQ(CDuiString(nullptr).GetLength(), 0);
    EXPECT_TRUE(CDuiString(L"abc", 2) == L"ab");
    EXPECT_TRUE(CDuiString(L"abc", 10) == L"abc");  // stops at the terminator
    EXPECT_EQ(s.GetAt(100), L'\0');
    EXPECT_EQ(s.GetAt(-1), L'\0');
    s.SetAt(-5, L'x');
    s.SetAt(12, L'x');
    s.SetAt(0, L'J');
    EXPECT_TRUE(s == L"Jello, World");

    CDuiString t = s + L"!";
    t += CDuiString(L"?");
    t += L'.';
    EXPECT_TRUE(t == L"Jello, World!?.");
    EXPECT_TRUE(L"<" + t == L"<Jello, World!?.");
    t = t.GetData() + 7;  // assigning a piece of itself
    EXPECT_TRUE(t == L"World!?.");
    t.Empty();
    EXPECT_TRUE(t.IsEmpty());
}

TEST(CDuiString, PiecesAndSearches) {
    CDuiString path(L"http://dl.example.com/img/win7_64.GHO");
    EXPECT_TRUE(path.Left(4) == L"http");
    EXPECT_TRUE(path.Left(-1) == L"");
    EXPECT_TRUE(path.Left(1000) == path);
    EXPECT_TRUE(path.Mid(path.ReverseFind(L'/') + 1) == L"win7_64.GHO");
    EXPECT_TRUE(path.Mid(7, 2) == L"dl");
    EXPECT_TRUE(path.Mid(-3, 4) == L"http");
    EXPECT_TRUE(path.Mid(1000) == L"");
    EXPECT_TRUE(path.Mid(30, 1000) == L"_64.GHO");
    EXPECT_TRUE(path.Right(3) == L"GHO");
    EXPECT_TRUE(path.Right(1000) == path);
    EXPECT_EQ(path.Find(L'/'), 5);
    EXPECT_EQ(path.Find(L'/', 7), 21);
    EXPECT_EQ(path.Find(L'/', 1000), -1);
    EXPECT_EQ(path.Find(L"img"), 22);
    EXPECT_EQ(path.Find(L"img", 23), -1);
    EXPECT_EQ(path.Find(L"", 3), 3);
    EXPECT_EQ(path.Find(L"x", -5), 11);
    EXPECT_EQ(path.ReverseFind(L'#'), -1);
    EXPECT_EQ(CDuiString().ReverseFind(L'a'), -1);
}

TEST(CDuiString, ReplaceAndCase) {
    CDuiString s(L"a.b.c");
    EXPECT_EQ(s.Replace(L".", L".."), 2);  // replacement holding the pattern is not rescanned
    EXPECT_TRUE(s == L"a..b..c");
    EXPECT_EQ(s.Replace(L"", L"x"), 0);
    EXPECT_EQ(s.Replace(L"..", L""), 2);
    EXPECT_TRUE(s == L"abc");
    EXPECT_EQ(s.Replace(L"zz", L"y"), 0);
    EXPECT_EQ(s.Replace(nullptr, L"y"), 0);

    CDuiString mixed(L"Win7 \u4E2D\u6587 X64");
    mixed.MakeLower();
    EXPECT_TRUE(mixed == L"win7 \u4E2D\u6587 x64");
    mixed.MakeUpper();
    EXPECT_TRUE(mixed == L"WIN7 \u4E2D\u6587 X64");
}

TEST(CDuiString, FormatOfAnyLength) {
    CDuiString s;
    EXPECT_EQ(s.Format(L"%d%% %ls %02d:%02d", 42, L"\u5DF2\u4E0B\u8F7D", 5, 7), 13);
    EXPECT_TRUE(s == L"42% \u5DF2\u4E0B\u8F7D 05:07") << s.GetData();
    std::wstring longText(100000, L'x');
    EXPECT_EQ(s.Format(L"[%ls]", longText.c_str()), 100002);
    EXPECT_EQ(s.GetAt(100001), L']');
    EXPECT_EQ(s.SmallFormat(L"%.1f MB/s", 2.25), 8);
    EXPECT_TRUE(s == L"2.2 MB/s" || s == L"2.3 MB/s") << s.GetData();
    EXPECT_EQ(s.Format(nullptr), -1);
    EXPECT_TRUE(s.IsEmpty());
}

TEST(CDuiString, FormatPercentSTakesWideTextOnEveryRuntime) {
    CDuiString s;
    EXPECT_EQ(
        s.Format(L"%s %c %-6s| %.2s %%s %d %ls", L"wide", L'\u4E2D', L"ab", L"xyz", 5, L"end"), 26);
    EXPECT_TRUE(s == L"wide \u4E2D ab    | xy %s 5 end") << s.GetData();
    EXPECT_EQ(s.Format(L"%5.1f%%|%lld|%s", 99.44, 12345678901LL, L"\u4E2D\u6587"), 21);
    EXPECT_TRUE(s == L" 99.4%|12345678901|\u4E2D\u6587") << s.GetData();
}

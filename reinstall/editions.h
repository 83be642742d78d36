// The ten editions of the online reinstall: the catalogue key of each, the option that
// offers it, the download button of its page and the banner of the progress page.
#pragma once

#include <string>

namespace korvane {

inline constexpr int kEditionCount = 10;

struct Edition {
    int index;                    // 1 .. 10, set by a click on the option
    const wchar_t* catalogueKey;  // key of section "GHO" in ghoinfo.ini
    const wchar_t* option;        // OS_Op1 .. OS_Op10
    const wchar_t* banner;        // start of the progress page's headline
    int family;                   // 1 XP, 2 Windows 7, 3 Windows 10
};

// The edition of index 1 .. 10; null for any other index.
const Edition* EditionByIndex(int index);

// The edition whose option carries that name; null when none does.
const Edition* EditionByOption(const std::wstring& optionName);

// The family's download button: DownloadSystem1_Btn, ..2_Btn or ..3_Btn.
const wchar_t* DownloadButtonOf(const Edition& edition);

// The family's "unfinished download" label on the family page: tips11_label .. tips13_label.
const wchar_t* FamilyTipLabelOf(const Edition& edition);

// The edition's own label on its option: tips1_label .. tips10_label.
std::wstring EditionTipLabelOf(const Edition& edition);

// The Option.ini key of the edition's downloaded amount: Size1 .. Size10.
std::wstring SizeKeyOf(const Edition& edition);

}  // namespace korvane

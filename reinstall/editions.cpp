#include "reinstall/editions.h"

namespace korvane {

namespace {

constexpr Edition kEditions[kEditionCount] = {
    {1, L"XP_1", L"OS_Op1", L"您选择的 Windows XP纯净版", 1},
    {2, L"XP_2", L"OS_Op2", L"您选择的 Windows XP装机版", 1},
    {3, L"WIN7_32_1", L"OS_Op3", L"您选择的 Windows 7纯净版", 2},
    {4, L"WIN7_32_2", L"OS_Op4", L"您选择的 Windows 7装机版", 2},
    {5, L"WIN7_64_1", L"OS_Op5", L"您选择的 Windows 7纯净版", 2},
    {6, L"WIN7_64_2", L"OS_Op6", L"您选择的 Windows 7装机版", 2},
    {7, L"WIN10_32_1", L"OS_Op7", L"您选择的 Windows 10纯净版", 3},
    {8, L"WIN10_32_2", L"OS_Op8", L"您选择的 Windows 10装机版", 3},
    {9, L"WIN10_64_1", L"OS_Op9", L"您选择的 Windows 10纯净版", 3},
    {10, L"WIN10_64_2", L"OS_Op10", L"您选择的 Windows 10装机版", 3},
};

constexpr const wchar_t* kDownloadButtons[] = {L"DownloadSystem1_Btn", L"DownloadSystem2_Btn",
                                               L"DownloadSystem3_Btn"};
constexpr const wchar_t* kFamilyTipLabels[] = {L"tips11_label", L"tips12_label", L"tips13_label"};

}  // namespace

const Edition* EditionByIndex(int index) {
    if (index < 1 || index > kEditionCount) {
        return nullptr;
    }
    return &kEditions[index - 1];
}

const Edition* EditionByOption(const std::wstring& optionName) {
    for (const Edition& edition : kEditions) {
        if (optionName == edition.option) {
            return &edition;
        }
    }
    return nullptr;
}

const wchar_t* DownloadButtonOf(const Edition& edition) {
    return kDownloadButtons[edition.family - 1];
}

const wchar_t* FamilyTipLabelOf(const Edition& edition) {
    return kFamilyTipLabels[edition.family - 1];
}

std::wstring EditionTipLabelOf(const Edition& edition) {
    return L"tips" + std::to_wstring(edition.index) + L"_label";
}

std::wstring SizeKeyOf(const Edition& edition) {
    return L"Size" + std::to_wstring(edition.index);
}

}  // namespace korvane

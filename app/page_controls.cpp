#include "app/page_controls.h"

#include <cwchar>

namespace korvane {

namespace {

template <typename Control>
DuiLib::CControlUI* Make() {
    return new Control();
}

struct PageElement {
    const wchar_t* name;
    DuiLib::CControlUI* (*make)();
};

// Compared in this order, exactly and case-sensitively.
constexpr PageElement kPageElements[] = {
    {L"UIQV_ZadodiReload", Make<ZadodiReload>},
    {L"UIQV_ZadodiReloadPage0", Make<ZadodiReloadPage0>},
    {L"UIQV_ZadodiReloadPage1", Make<ZadodiReloadPage1>},
    {L"UIQV_ZadodiReloadPage2", Make<ZadodiReloadPage2>},
    {L"UIQV_ZadodiReloadPage3", Make<ZadodiReloadPage3>},
    {L"UIQV_ZadodiReloadPage4", Make<ZadodiReloadPage4>},
    {L"UIQV_ZadodiReloadPage5", Make<ZadodiReloadPage5>},
    {L"UIQV_ZadodiBackUpAndRestore", Make<ZadodiBackUpAndRestore>},
    {L"UIQV_ZadodiSoftwareManager", Make<ZadodiSoftwareManager>},
    {L"UIQV_ZadodiBackUpDoc", Make<ZadodiBackUpDoc>},
};

}  // namespace

DuiLib::CControlUI* CDialogBuilderCallbackEx::CreateControl(LPCTSTR pstrClass) {
    for (const PageElement& element : kPageElements) {
        if (wcscmp(pstrClass, element.name) == 0) {
            return element.make();
        }
    }
    return nullptr;
}

PageControl::PageControl(LPCTSTR page) {
    // The paint manager is attached later, with the main page.
    DuiLib::CDialogBuilder builder;
    CDialogBuilderCallbackEx callback;
    DuiLib::CControlUI* root = builder.Create(page, nullptr, &callback, nullptr, nullptr);
    if (root) {
        Add(root);
    } else {
        RemoveAll();
    }
}

}  // namespace korvane

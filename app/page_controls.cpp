#include "app/page_controls.h"

#include <array>
#include <cwchar>
#include <iterator>
#include <string>
#include <utility>

namespace korvane {

namespace {

using MakeFn = DuiLib::CControlUI* (*)();

template <size_t... kElement>
constexpr std::array<MakeFn, sizeof...(kElement)> Makers(std::index_sequence<kElement...>) {
    return {[]() -> DuiLib::CControlUI* { return new SkinPageControl<kElement>(); }...};
}

// kMakers[i] makes the control of kPageElements[i].
constexpr auto kMakers = Makers(std::make_index_sequence<std::size(kPageElements)>());

}  // namespace

DuiLib::CControlUI* CDialogBuilderCallbackEx::CreateControl(LPCTSTR pstrClass) {
    for (size_t i = 0; i < std::size(kPageElements); ++i) {
        if (wcscmp(pstrClass, kPageElements[i]) == 0) {
            return kMakers[i]();
        }
    }
    return nullptr;
}

PageControl::PageControl(LPCTSTR element) {
    const std::wstring page = std::wstring(element) + L".xml";
    // The paint manager is attached later, with the main page.
    DuiLib::CDialogBuilder builder;
    CDialogBuilderCallbackEx callback;
    DuiLib::CControlUI* root = builder.Create(page.c_str(), nullptr, &callback, nullptr, nullptr);
    if (root) {
        Add(root);
    } else {
        RemoveAll();
    }
}

}  // namespace korvane

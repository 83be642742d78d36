// The process-wide skin source as the paint manager presents it: the module whose
// resources and folder are used, and where pages and images are read from.
#include "ui/paint_manager.h"
#include "ui/skin_source.h"

namespace DuiLib {

namespace {
HINSTANCE g_instance = nullptr;
}  // namespace

HINSTANCE CPaintManagerUI::GetInstance() {
    return g_instance ? g_instance : ::GetModuleHandleW(nullptr);
}

void CPaintManagerUI::SetInstance(HINSTANCE hInst) {
    g_instance = hInst;
}

CDuiString CPaintManagerUI::GetInstancePath() {
    wchar_t path[MAX_PATH + 1] = {};
    ::GetModuleFileNameW(GetInstance(), path, MAX_PATH);
    std::wstring p = path;
    size_t slash = p.find_last_of(L"\\/");
    return CDuiString(slash == std::wstring::npos ? std::wstring() : p.substr(0, slash + 1));
}

CDuiString CPaintManagerUI::GetResourcePath() {
    return CDuiString(skin::Folder());
}

void CPaintManagerUI::SetResourcePath(LPCTSTR pStrPath) {
    skin::SetFolder(pStrPath ? pStrPath : L"");
}

void CPaintManagerUI::SetResourceZip(LPCTSTR pstrZip, bool bCachedResourceZip) {
    (void)bCachedResourceZip;
    skin::SetZip(pstrZip ? pstrZip : L"");
}

CDuiString CPaintManagerUI::GetResourceZip() {
    return CDuiString(skin::ZipName());
}

}  // namespace DuiLib

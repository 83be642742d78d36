#include "sysutil/page_opener.h"

#include <windows.h>
#include <shellapi.h>

namespace korvane {

void ShellPageOpener::OpenPage(const std::wstring& url) {
    ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace korvane

#include "sysutil/fresh_download.h"

#include <windows.h>
#include <urlmon.h>
#include <wininet.h>

namespace korvane {

bool DownloadFreshCopy(const std::wstring& url, const std::wstring& path) {
    // Only forces a fresh copy; there may be no cached one.
    DeleteUrlCacheEntryW(url.c_str());
    return URLDownloadToFileW(nullptr, url.c_str(), path.c_str(), 0, nullptr) == S_OK;
}

}  // namespace korvane

#include "sysutil/fresh_download.h"

#include <windows.h>
#include <urlmon.h>
#include <wininet.h>

#include "sysutil/system_function.h"

namespace korvane {

bool DownloadFreshCopy(const std::wstring& url, const std::wstring& path) {
    // urlmon and WinINet (with the networking DLLs they bring) are loaded by the first
    // download, on a worker thread, not before the window can show.
    static const auto deleteCacheEntry = LoadedSystemFunction<decltype(&DeleteUrlCacheEntryW)>(
        L"wininet.dll", "DeleteUrlCacheEntryW");
    static const auto downloadToFile =
        LoadedSystemFunction<decltype(&URLDownloadToFileW)>(L"urlmon.dll", "URLDownloadToFileW");
    if (downloadToFile == nullptr) {
        return false;
    }
    // Only forces a fresh copy; there may be no cached one.
    if (deleteCacheEntry != nullptr) {
        deleteCacheEntry(url.c_str());
    }
    return downloadToFile(nullptr, url.c_str(), path.c_str(), 0, nullptr) == S_OK;
}

}  // namespace korvane

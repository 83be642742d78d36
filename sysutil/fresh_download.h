// Fetching a server file that must not come from the local internet cache.
#pragma once

#include <string>

namespace korvane {

// Downloads url to path, never from the local cache. True when the whole file arrived.
bool DownloadFreshCopy(const std::wstring& url, const std::wstring& path);

}  // namespace korvane

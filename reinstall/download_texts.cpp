#include "reinstall/download_texts.h"

#include <cstdio>

namespace korvane {

namespace {

std::wstring Formatted(const wchar_t* format, double value) {
    wchar_t text[64] = {};
    swprintf(text, 64, format, value);
    return text;
}

// Hours and minutes get a ":" after them, seconds do not.
std::wstring TimeField(std::uint32_t value, bool withColon) {
    std::wstring text = value < 10 ? L"0" + std::to_wstring(value) : std::to_wstring(value);
    return withColon ? text + L":" : text;
}

}  // namespace

std::wstring SizeText(std::int64_t bytes) {
    // The quotient is a float before it is formatted.
    if (bytes < 1048576) {
        return Formatted(L"%.2f", static_cast<float>(bytes / 1024.0)) + L"KB";
    }
    if (bytes < 1073741824) {
        return Formatted(L"%.2f", static_cast<float>(bytes / 1048576.0)) + L"MB";
    }
    return Formatted(L"%.2f", static_cast<float>(bytes / 1073741824.0)) + L"GB";
}

std::wstring SpeedText(std::int32_t bytesPerSecond) {
    if (bytesPerSecond != 0 && bytesPerSecond < 1024000) {
        return Formatted(L"%.1f Kb/s", static_cast<float>(bytesPerSecond / 1024.0));
    }
    return Formatted(L"%.1f Mb/s", static_cast<float>(bytesPerSecond / 1048576.0));
}

std::wstring PercentText(float percent) {
    return Formatted(L"%.1f", percent) + L"%";
}

std::wstring RemainingTimeText(std::int64_t totalBytes, std::int64_t downloadedBytes,
                               std::int32_t bytesPerSecond, const std::wstring& percentText) {
    std::wstring text = L"剩余时间：";
    const std::int64_t left = totalBytes - downloadedBytes;
    // More downloaded than the total (a total the server never told) has no time left either:
    // the division would wrap round to a thousand hours.
    if (left <= 0 || bytesPerSecond <= 0) {
        return text;
    }
    const auto seconds = static_cast<std::uint32_t>(left / bytesPerSecond);
    text += TimeField(seconds / 3600, true);
    text += TimeField(seconds % 3600 / 60, true);
    text += TimeField(seconds % 60, false);
    return text + L"    已下载:" + percentText;
}

std::wstring ImageFileName(const std::wstring& url) {
    const size_t slash = url.rfind(L'/');
    return slash == std::wstring::npos ? url : url.substr(slash + 1);
}

std::wstring ImagePath(const std::wstring& folder, const std::wstring& fileName) {
    if (!folder.empty() && folder.back() == L'\\') {
        return folder + fileName;
    }
    return folder + L"\\" + fileName;
}

}  // namespace korvane

// The texts of the download progress page: sizes, speeds and the remaining time.
#pragma once

#include <cstdint>
#include <string>

namespace korvane {

// "1024.00KB" below 1 MiB (negative counts too), "1.00MB" below 1 GiB, else "4.00GB".
std::wstring SizeText(std::int64_t bytes);

// "878.9 Kb/s" for a speed that is not 0 and below 1,024,000 bytes/s, else "1.0 Mb/s"
// (also "0.0 Mb/s" for 0).
std::wstring SpeedText(std::int32_t bytesPerSecond);

// The fixed speed text of a paused task.
inline constexpr wchar_t kPausedSpeedText[] = L"0 Mb/s";

// "87.5%": the percent with one decimal.
std::wstring PercentText(float percent);

// "剩余时间：01:02:05    已下载:87.5%"; only "剩余时间：" when nothing is left to load (or
// more was loaded than the total says) or the speed is 0.
std::wstring RemainingTimeText(std::int64_t totalBytes, std::int64_t downloadedBytes,
                               std::int32_t bytesPerSecond, const std::wstring& percentText);

// The file name of an image address: what follows its last "/" (all of it without one).
std::wstring ImageFileName(const std::wstring& url);

// folder + "\" + fileName, without a second "\" when the folder already ends with one.
std::wstring ImagePath(const std::wstring& folder, const std::wstring& fileName);

}  // namespace korvane

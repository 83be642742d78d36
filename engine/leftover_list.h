// The list of partial downloads the engine could not remove when their task was deleted
// (a file still in use); MiniTPFw.exe removes them at the next program start.
#pragma once

#include <string>
#include <vector>

namespace korvane::xldl {

inline constexpr wchar_t kLeftoverListName[] = L"leftovers.lst";

// Appends one path (UTF-16 lines) to the list file in `folder`.
bool AppendLeftover(const std::wstring& folder, const std::wstring& path);
std::vector<std::wstring> ReadLeftovers(const std::wstring& folder);
// Rewrites the list with `paths` (removes the file when empty).
bool WriteLeftovers(const std::wstring& folder, const std::vector<std::wstring>& paths);
// Deletes the file; true when it is gone, deleted now or not there at all.
bool DeleteUnlessGone(const std::wstring& path);
// Only our own partial files may be removed through the list, never anything else.
bool IsPartialDataPath(const std::wstring& path);

}  // namespace korvane::xldl

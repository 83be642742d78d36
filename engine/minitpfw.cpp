// MiniTPFw.exe: run by the program (and waited for) at every start, before any download.
// Removes the partial data of deleted downloads that the engine could not remove at the
// time (a file still in use), as listed beside this program. Shows no window.
#include <windows.h>

#include <string>
#include <vector>

#include "engine/leftover_list.h"

using korvane::xldl::DeleteUnlessGone;
using korvane::xldl::IsPartialDataPath;
using korvane::xldl::ReadLeftovers;
using korvane::xldl::WriteLeftovers;

namespace {

std::wstring OwnFolder() {
    wchar_t path[MAX_PATH * 2] = {};
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    std::wstring folder(path, n);
    std::size_t cut = folder.find_last_of(L'\\');
    return cut == std::wstring::npos ? std::wstring(L".") : folder.substr(0, cut);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    std::wstring folder = OwnFolder();
    std::vector<std::wstring> stillThere;
    for (const std::wstring& path : ReadLeftovers(folder)) {
        if (!IsPartialDataPath(path)) {
            continue;  // never remove anything but our own partial files
        }
        if (!DeleteUnlessGone(path)) {
            stillThere.push_back(path);  // still in use: next start
        }
    }
    return WriteLeftovers(folder, stillThere) ? 0 : 1;
}

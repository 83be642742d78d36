#include "sysutil/resource_file.h"

#include "sysutil/unique_handle.h"

namespace korvane {

bool ExtractResourceToFile(const std::wstring& path, WORD id, const wchar_t* type) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        return false;
    }
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), type);
    if (found) {
        HGLOBAL loaded = LoadResource(nullptr, found);
        const void* data = loaded ? LockResource(loaded) : nullptr;
        DWORD size = SizeofResource(nullptr, found);
        DWORD written = 0;
        if (data && size > 0) {
            WriteFile(file.Get(), data, size, &written, nullptr);
        }
    }
    return true;
}

DWORD ResourceSize(WORD id, const wchar_t* type) {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), type);
    return found ? SizeofResource(nullptr, found) : 0;
}

}  // namespace korvane

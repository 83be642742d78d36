#include "sysutil/resource_file.h"

#include "sysutil/unique_handle.h"

namespace korvane {

bool ExtractResourceToFile(const std::wstring& path, WORD id, const wchar_t* type) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        return false;
    }
    std::string_view bytes = ResourceBytes(id, type);
    DWORD written = 0;
    if (!bytes.empty()) {
        WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
    return true;
}

DWORD ResourceSize(WORD id, const wchar_t* type) {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), type);
    return found ? SizeofResource(nullptr, found) : 0;
}

std::string_view ResourceBytes(WORD id, const wchar_t* type) {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), type);
    HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) {
        return std::string_view();
    }
    return std::string_view(static_cast<const char*>(data), SizeofResource(nullptr, found));
}

}  // namespace korvane

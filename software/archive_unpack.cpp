#include "software/archive_unpack.h"

#include <windows.h>

#include <memory>
#include <vector>

#include "software/entry_place.h"
#include "sysutil/text_conversion.h"
#include "sysutil/unique_handle.h"
#include "ui/core/zip_archive.h"

namespace korvane {

namespace {

bool ReadArchiveBytes(const std::wstring& path, std::vector<uint8_t>* bytes) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size = {};
    if (!file.IsValid() || !GetFileSizeEx(file.Get(), &size) ||
        static_cast<uint64_t>(size.QuadPart) > kMaxSoftwareArchiveBytes) {
        return false;
    }
    bytes->resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    return bytes->empty() ||
           (ReadFile(file.Get(), bytes->data(), static_cast<DWORD>(bytes->size()), &got, nullptr) &&
            got == bytes->size());
}

bool WriteWholeFile(const std::wstring& path, const std::vector<uint8_t>& data) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file.IsValid() &&
           (data.empty() || (WriteFile(file.Get(), data.data(), static_cast<DWORD>(data.size()),
                                       &written, nullptr) &&
                             written == data.size()));
}

// Zip names are UTF-8 from current tools and the ANSI code page from older ones.
std::wstring DecodeEntryName(const std::string& stored) {
    if (stored.empty()) {
        return std::wstring();
    }
    const int size = static_cast<int>(stored.size());
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, stored.data(), size, nullptr, 0);
    if (n <= 0) {
        return AnsiToWide(stored);
    }
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, stored.data(), size, wide.data(), n);
    return wide;
}

// Creates the folders of place below folder; CreateDirectoryW fails harmlessly on those
// that exist.
void CreateFoldersOf(const std::wstring& folder, const EntryPlace& place) {
    const std::wstring& path = place.relativePath;
    for (size_t at = path.find(L'\\'); at != std::wstring::npos; at = path.find(L'\\', at + 1)) {
        CreateDirectoryW((folder + L"\\" + path.substr(0, at)).c_str(), nullptr);
    }
    if (place.isFolder) {
        CreateDirectoryW((folder + L"\\" + path).c_str(), nullptr);
    }
}

// Writes one entry; false once the unpacked total would pass its limit.
bool UnpackEntry(const DuiLib::ZipArchive& archive, const std::string& stored,
                 const std::wstring& folder, uint64_t* unpackedBytes) {
    const std::optional<EntryPlace> place = PlaceOfEntry(DecodeEntryName(stored));
    if (!place) {
        return true;
    }
    CreateFoldersOf(folder, *place);
    std::vector<uint8_t> data;
    if (place->isFolder || !archive.Read(stored, &data, nullptr)) {
        return true;
    }
    *unpackedBytes += data.size();
    if (*unpackedBytes > kMaxSoftwareUnpackedBytes) {
        return false;
    }
    WriteWholeFile(folder + L"\\" + place->relativePath, data);
    return true;
}

}  // namespace

bool UnpackArchive(const std::wstring& archivePath, const std::wstring& folder) {
    std::vector<uint8_t> bytes;
    if (!ReadArchiveBytes(archivePath, &bytes)) {
        return false;
    }
    const std::unique_ptr<DuiLib::ZipArchive> archive =
        DuiLib::ZipArchive::Open(std::move(bytes), nullptr);
    if (!archive) {
        return false;
    }
    CreateDirectoryW(folder.c_str(), nullptr);
    uint64_t unpackedBytes = 0;
    for (const std::string& stored : archive->Names()) {
        if (!UnpackEntry(*archive, stored, folder, &unpackedBytes)) {
            break;
        }
    }
    return true;
}

}  // namespace korvane

// Where pages and images come from, process-wide: a folder, or a zip archive in that
// folder read once into memory, or a zip archive carried as a resource of the module.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace DuiLib {

namespace skin {

void SetFolder(const std::wstring& folder);
std::wstring Folder();  // with a trailing backslash, or empty
// Archive file name relative to the folder (or a full path). Empty: read plain files.
void SetZip(const std::wstring& name);
std::wstring ZipName();
// Archive bytes taken from a resource of the module (type, name).
bool SetZipFromResource(HINSTANCE instance, const wchar_t* type, const wchar_t* name,
                        std::wstring* error);

// Reads one file of the skin: from the archive when one is set, else from the folder.
// Absolute paths are read from disk directly. On failure *error says why.
bool ReadFile(const std::wstring& name, std::vector<uint8_t>* out, std::wstring* error);

std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);

}  // namespace skin

}  // namespace DuiLib

// Writes one of the program's own resources to a file.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace korvane {

// Creates (or truncates) the destination with normal attributes and writes the resource
// of that id and type from the program's own module into it. False only when the
// destination cannot be created, for example over a hidden file.
bool ExtractResourceToFile(const std::wstring& path, WORD id, const wchar_t* type);

// Size in bytes of a resource of the program's own module; 0 when it is missing.
DWORD ResourceSize(WORD id, const wchar_t* type);

// The bytes of a resource of the program's own module (they live as long as the module);
// empty when it is missing.
std::string_view ResourceBytes(WORD id, const wchar_t* type);

}  // namespace korvane

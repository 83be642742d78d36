// Writes one of the program's own resources to a file.
#pragma once

#include <windows.h>

#include <string>

namespace korvane {

// Creates (or truncates) the destination with normal attributes and writes the resource
// of that id and type from the program's own module into it. False only when the
// destination cannot be created, for example over a hidden file.
bool ExtractResourceToFile(const std::wstring& path, WORD id, const wchar_t* type);

// Size in bytes of a resource of the program's own module; 0 when it is missing.
DWORD ResourceSize(WORD id, const wchar_t* type);

}  // namespace korvane

// Resource ids of the files that staging writes.
#pragma once

#include <windows.h>

namespace korvane {

inline constexpr wchar_t kStagingResourceType[] = L"KRFILE";
inline constexpr WORD kEditorResource = 130;       // bcdedit.exe, our editor launcher
inline constexpr WORD kLoaderResource = 131;       // krldr
inline constexpr WORD kBootSectorResource = 132;   // krldr.mbr
inline constexpr WORD kFloppyImageResource = 133;  // krldr.ima

}  // namespace korvane

// The names of the files staging puts at the volume roots: written, checked and removed
// under these names, and named by the boot entry and by the DOS side's start-up script.
#pragma once

namespace korvane {

inline constexpr wchar_t kLoaderName[] = L"krldr";
inline constexpr wchar_t kFloppyImageName[] = L"krldr.ima";
inline constexpr wchar_t kBootSectorName[] = L"krldr.mbr";
inline constexpr wchar_t kGhostBatchName[] = L"Ghost.ba_";

}  // namespace korvane

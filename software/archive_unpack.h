// Unpacking the downloaded software archive into the software folder.
#pragma once

#include <cstdint>
#include <string>

namespace korvane {

// Limits for an archive that comes over plain HTTP: the archive file read into memory,
// and all its unpacked entries together.
inline constexpr uint64_t kMaxSoftwareArchiveBytes = 64ull * 1024 * 1024;
inline constexpr uint64_t kMaxSoftwareUnpackedBytes = 256ull * 1024 * 1024;

// Unpacks every entry of the zip archive at archivePath below folder (created if missing),
// with the folders its names need. Entries whose names would land elsewhere (see
// PlaceOfEntry) or whose data are damaged are skipped; the rest still unpack. False when the
// archive cannot be read at all (nothing is written then).
bool UnpackArchive(const std::wstring& archivePath, const std::wstring& folder);

}  // namespace korvane

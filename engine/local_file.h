// The file operations of a download on the local disk, as the engine needs them.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace korvane::xldl {

// Moves the file position, then writes: each handle is written by one thread at a time.
bool WriteAt(HANDLE file, std::int64_t offset, const char* data, std::size_t size);
bool SetFileLength(HANDLE file, std::int64_t length);
std::int64_t FileLength(HANDLE file);  // -1 when unknown
// Whether the volume of folder has room for bytes more.
bool VolumeCanHold(const std::wstring& folder, std::int64_t bytes);
// Creates the folder and the folders above it as needed; false when it cannot exist.
bool EnsureFolder(const std::wstring& folder);
// Seconds since 1601 at which the system started; two values a few seconds apart mean
// the same boot.
std::int64_t CurrentBootStamp();

}  // namespace korvane::xldl

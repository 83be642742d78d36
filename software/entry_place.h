// Where an entry of a downloaded archive may be unpacked: only below the folder it is
// unpacked into, under a name Windows takes literally. Portable, so it is tested natively.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace korvane {

struct EntryPlace {
    std::wstring relativePath;  // its parts joined with '\\'; never empty
    bool isFolder = false;      // a directory entry (its name ends in a separator)
};

// The place of an entry name (already decoded to UTF-16), '/' and '\\' alike; empty and "."
// parts are dropped. Refused (nullopt): names that are absolute, carry a drive or a stream
// (':'), climb out (".."), end a part in a dot or a space (Windows would drop them), hold
// characters Windows forbids in names, or name a device (CON, NUL, COM1, ...).
std::optional<EntryPlace> PlaceOfEntry(std::wstring_view name);

}  // namespace korvane

// The download folder: one process-wide text (where images are saved), kept in
// Option.ini as Set/Dir, with its default taken from the drive with the most free space.
#pragma once

#include <string>

#include "settings/options_store.h"
#include "sysutil/drive_queries.h"

namespace korvane {

// The root that default folders start from: the data drive with the most free space
// ("E:\"), "D:\" when that drive is the system drive ("C:"), empty when there is none.
std::wstring DefaultDataRoot(DriveSource& drives, const std::wstring& systemDrive);

// root + "QMZ"; "QMZ" alone for an empty root.
std::wstring DefaultDownloadFolder(const std::wstring& root);

// Start-up: reads Set/Dir, takes the default when it is empty, makes the result the
// download folder and writes it back (at every start, also when it was present).
std::wstring LoadDownloadFolder(const OptionsStore& store, DriveSource& drives,
                                const std::wstring& systemDrive);

// The process-wide download folder. Assigned and read on the UI thread only.
const std::wstring& DownloadFolder();
void SetDownloadFolder(const std::wstring& folder);

// A folder picked in the settings window: a drive root ("E:\") is used as "E:", so that
// the image path gets a single "\" after it.
std::wstring TrimFolderValue(const std::wstring& folder);

}  // namespace korvane

// The download engine's files, carried as resources of type "KRDL", written to disk at
// every start before the engine is first needed.
#pragma once

#include <string>

namespace korvane {

// Writes xldl.dll to appDataFolder + "\Download" and its companions to
// appDataFolder + "\Download\download" (each file replaced; one that cannot be created is
// skipped and stays as it was), then runs "...\Download\download\MiniTPFw.exe" hidden and
// waits for it. Runs on the catalogue job's thread.
void WriteDownloadEngineFiles(const std::wstring& appDataFolder);

}  // namespace korvane

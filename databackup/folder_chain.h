// The destination folders of a personal-data job, made before anything is copied.
#pragma once

#include <string>
#include <vector>

namespace korvane {

// Creates each destination with every folder above it: first the parents of all
// destinations, then the destinations themselves, in order. False when one of them cannot be
// made and is not there (a missing drive, say); an existing folder is fine.
bool CreateDestinationFolders(const std::vector<std::wstring>& destinations);

}  // namespace korvane

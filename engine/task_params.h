// A task's parameters as the caller's record gives them, and the paths of its files.
#pragma once

#include <string>

namespace korvane::xldl {

inline constexpr int kDefaultConnections = 5;
inline constexpr int kMaxConnections = 16;

struct TaskParams {
    std::wstring url;
    std::wstring fileName;
    std::wstring folder;
    int connections = 0;  // 0: the default
    bool resume = true;   // continue partial data kept from before

    int ConnectionsOrDefault() const { return connections > 0 ? connections : kDefaultConnections; }
};

// Reads the task parameter record; false when it is unusable (then the task fails).
bool ReadTaskParams(const unsigned char* record, TaskParams* params);

// The partial data and resume state of a download kept beside the final file.
std::wstring PartialPathFor(const std::wstring& finalPath);
std::wstring StatePathFor(const std::wstring& finalPath);
// folder + "\" + name; empty when the name could leave the folder or is not a file name.
std::wstring FinalPathFor(const std::wstring& folder, const std::wstring& fileName);

}  // namespace korvane::xldl

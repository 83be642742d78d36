// The two records that cross into xldl.dll: the task parameters we fill for a new task and
// the task information the engine fills on a query. Both are byte buffers read and
// written at the engine's fixed offsets.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/xldl_api.h"

namespace korvane {

// Longest texts (without terminator) that fit their slots of the parameter record.
size_t MaxTaskUrlChars();
size_t MaxTaskFileNameChars();
size_t MaxTaskSaveFolderChars();

// A zero-filled parameter record with the three texts and the fixed values. False, and
// the record left empty, when a text is empty or does not fit its slot: a cut file name or
// folder would put the image somewhere the program never looks for it.
bool BuildTaskParamRecord(const std::wstring& url, const std::wstring& fileName,
                          const std::wstring& saveFolder, std::vector<unsigned char>* record);

// A task information record as the download monitor uses it.
class TaskInfoRecord {
  public:
    TaskInfoRecord() { Prepare(); }

    // Before every query: all zero, state "not transferring", so a query that does not
    // reach a task reads as a paused one.
    void Prepare();

    void* Data() { return bytes_; }
    const void* Data() const { return bytes_; }

    std::int32_t State() const { return ReadInt32(xldl::kInfoStateOffset); }
    std::int32_t FailureCode() const { return ReadInt32(xldl::kInfoFailureOffset); }
    std::wstring FileName() const;
    std::int64_t TotalBytes() const { return ReadInt64(xldl::kInfoTotalOffset); }
    std::int64_t DownloadedBytes() const { return ReadInt64(xldl::kInfoDownloadedOffset); }
    float Fraction() const;
    std::int32_t SpeedBytesPerSecond() const { return ReadInt32(xldl::kInfoSpeedOffset); }

  private:
    std::int32_t ReadInt32(size_t offset) const;
    std::int64_t ReadInt64(size_t offset) const;

    alignas(8) unsigned char bytes_[xldl::kTaskInfoSize];
};

}  // namespace korvane

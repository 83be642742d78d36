// The verdict on the first disk from the partition-style probe's output: the script prints
// one row per disk, "<word> <number> <flag>", flag 1 for a GPT or dynamic disk.
#pragma once

#include <string_view>

namespace korvane {

enum class ProbeVerdict {
    kMbr,                  // the first row is disk 0 with flag 0: continue
    kFirstDiskNotMbr,      // flag not 0, or nothing readable: refuse
    kListNotFromDiskZero,  // the first row is disk 1, 11, 21, ...: refuse
};

// Judges the output text as read (at most its first 100 bytes, converted from ANSI).
ProbeVerdict JudgeProbeOutput(std::wstring_view output);

// The message shown for a refusal; null for kMbr.
const wchar_t* ProbeRefusalMessage(ProbeVerdict verdict);

}  // namespace korvane

#include "staging/probe_verdict.h"

namespace korvane {

namespace {

// The text after the first blank; all of it when there is none.
std::wstring_view AfterFirstBlank(std::wstring_view text) {
    size_t blank = text.find(L' ');
    return blank == std::wstring_view::npos ? text : text.substr(blank + 1);
}

}  // namespace

ProbeVerdict JudgeProbeOutput(std::wstring_view output) {
    // The flag: the character after the second blank ("Disk 0 0" -> "0").
    std::wstring_view flag = AfterFirstBlank(AfterFirstBlank(output)).substr(0, 1);
    if (flag != L"0") {
        return ProbeVerdict::kFirstDiskNotMbr;
    }
    std::wstring_view firstLine = output.substr(0, output.find(L"\r\n"));
    // A number ending in 1 ("Disk 1 0", "Disk 11 0"): the list does not start at disk 0.
    if (firstLine.find(L"1 ", 1) != std::wstring_view::npos) {
        return ProbeVerdict::kListNotFromDiskZero;
    }
    return ProbeVerdict::kMbr;
}

const wchar_t* ProbeRefusalMessage(ProbeVerdict verdict) {
    switch (verdict) {
        case ProbeVerdict::kFirstDiskNotMbr:
            return L"检测到本机分区为非MBR分区，请使用KorvanePE重装系统！";
        case ProbeVerdict::kListNotFromDiskZero:
            return L"检测到本机分区为非MBR分区，请使用KorvanePE下重装系统！";
        case ProbeVerdict::kMbr:
            break;
    }
    return nullptr;
}

}  // namespace korvane

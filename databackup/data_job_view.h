// What the copy job shows while it runs: the activity line, the count line and the close of
// its window. The progress window implements it; tests and the benchmark use their own.
#pragma once

#include <string>

namespace korvane {

class DataJobView {
  public:
    virtual ~DataJobView() = default;
    // The activity line ("Text1"): what is being done.
    virtual void SetActivityText(const std::wstring& text) = 0;
    // The count line ("Text2").
    virtual void SetCountText(const std::wstring& text) = 0;
    // The job is over: the window closes with result 1. Called last, from the job's thread.
    virtual void CloseJobWindow() = 0;
};

}  // namespace korvane

// A PageOpener that keeps the pages it was asked to open instead of opening them. Jobs may
// open pages from worker threads, so the record is guarded.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "sysutil/page_opener.h"

namespace korvane::test {

class RecordingOpener : public PageOpener {
  public:
    void OpenPage(const std::wstring& url) override {
        std::lock_guard<std::mutex> hold(lock_);
        opened.push_back(url);
    }
    std::vector<std::wstring> Opened() const {
        std::lock_guard<std::mutex> hold(lock_);
        return opened;
    }

    std::vector<std::wstring> opened;

  private:
    mutable std::mutex lock_;
};

}  // namespace korvane::test

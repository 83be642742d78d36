// The engine behind the XL_* entry points: the task table, the shared speed limit and the
// network settings. One per process.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "engine/download_task.h"
#include "engine/http_connection.h"
#include "engine/speed_limiter.h"

namespace korvane::xldl {

class Engine : public TaskHost {
  public:
    static Engine& Instance();

    bool Init();
    bool UnInit();
    // 0 before Init; otherwise the next number, also for a record the task cannot use
    // (that task reports failure), so numbers follow the order of creation.
    std::uint32_t CreateTask(const unsigned char* record);
    bool StartTask(std::uint32_t number);
    bool StopTask(std::uint32_t number);
    bool DeleteTask(std::uint32_t number);
    bool QueryTask(std::uint32_t number, unsigned char* record);
    bool SetExpectedSize(std::uint32_t number, std::int64_t size);
    bool DeleteTempFiles(const unsigned char* record);
    void SetSpeedLimit(std::int64_t kiloBytesPerSecond);
    bool SetProxy(const std::wstring& hostAndPort);
    void SetUserAgent(const std::wstring& userAgent);
    bool QueryFileSize(const std::wstring& url, std::int64_t* size);

    // TaskHost
    NetSettings CurrentNetSettings() override;
    SpeedLimiter& Limiter() override { return limiter_; }
    void RecordLeftover(const std::wstring& path) override;

    // The folder of our companion files: "download" beside xldl.dll.
    static std::wstring CompanionFolder();

  private:
    std::shared_ptr<DownloadTask> Find(std::uint32_t number);
    std::string DefaultUserAgent();

    std::mutex mutex_;
    bool initialised_ = false;
    std::uint32_t lastNumber_ = 0;
    std::map<std::uint32_t, std::shared_ptr<DownloadTask>> tasks_;
    NetSettings net_;
    SpeedLimiter limiter_;
};

}  // namespace korvane::xldl

// One download as the caller sees it: its parameters, its start, pause and delete, its
// state and the figures a query reports. The transfer itself is a TransferRun.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "engine/http_connection.h"
#include "engine/resume_record.h"
#include "engine/run_control.h"
#include "engine/speed_limiter.h"
#include "engine/task_params.h"
#include "engine/transfer_run.h"
#include "engine/xldl_api.h"

namespace korvane::xldl {

// What a task needs from the engine around it.
class TaskHost {
  public:
    virtual ~TaskHost() = default;
    virtual NetSettings CurrentNetSettings() = 0;
    virtual SpeedLimiter& Limiter() = 0;
    // A partial file that could not be removed now; removed by MiniTPFw at the next start.
    virtual void RecordLeftover(const std::wstring& path) = 0;
};

class DownloadTask {
  public:
    DownloadTask(std::uint32_t number, TaskParams params, bool paramsValid, TaskHost& host);
    ~DownloadTask();
    DownloadTask(const DownloadTask&) = delete;
    DownloadTask& operator=(const DownloadTask&) = delete;

    std::uint32_t Number() const { return number_; }
    const std::wstring& FinalPath() const { return files_.finalPath; }
    bool IsRunning() const;

    void Start();
    // Returns once no byte of this task moves any more.
    void Stop();
    // Removes partial data and resume state (the task must be stopped). A finished file
    // stays.
    bool DeleteData();
    void SetExpectedSize(std::int64_t size) { expectedSize_ = size; }
    void FillInfo(unsigned char* record) const;

  private:
    void Run();
    RunOutcome Transfer();
    bool OpenLocalFiles();
    bool ReadKeptRecord(const RunSetup& setup, ResumeRecord* kept);
    RunOutcome RunOnce(const RunSetup& setup, const ResumeRecord* kept);

    const std::uint32_t number_;
    const TaskParams params_;
    const bool paramsValid_;
    TaskHost& host_;
    LocalFiles files_;  // the handles: the controller thread's while it runs

    std::mutex lifecycleMutex_;  // Start/Stop/Delete
    std::thread controller_;
    std::atomic<bool> running_{false};
    std::atomic<bool> stop_{false};

    std::atomic<TaskState> state_{kStateStopped};
    std::atomic<std::int32_t> failure_{kFailureOther};
    TaskProgress progress_;
    std::atomic<std::int64_t> expectedSize_{-1};
    RunControl control_;
    std::uint64_t recordSequence_ = 0;  // of the resume state record, across runs
};

}  // namespace korvane::xldl

// The download engine as the rest of the program sees it: loaded on the first download,
// one task per download request, and the pause, resume, delete, query and speed-limit
// operations, each naming a task by the request's task number.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "reinstall/down_wrapper.h"
#include "reinstall/task_records.h"
#include "sysutil/user_prompt.h"

namespace korvane {

class DownloadLibrary {
  public:
    // The engine is loaded from appDataFolder + "\Download\xldl.dll"; appDataFolder is the
    // roaming application data folder + "\QMZXT" in the program.
    DownloadLibrary(std::wstring appDataFolder, UserPrompt& prompt);
    // Stops the engine's tasks (XL_UnInit) before the library is freed: a running transfer
    // must never execute code that is no longer mapped.
    ~DownloadLibrary();
    DownloadLibrary(const DownloadLibrary&) = delete;
    DownloadLibrary& operator=(const DownloadLibrary&) = delete;

    // Loads xldl.dll and initialises it; the answer of XL_Init. A library that cannot be
    // loaded is reported to the user ("can not load xldl.dll") and answers false. Once
    // loaded, the library stays and later calls answer the first result.
    bool InitDownloadLibrary();

    // Creates the task of download request taskNumber and starts it. The library is
    // loaded and initialised on the first call; a failed initialisation is never retried.
    // False when no task was created: no library, no initialisation, texts that do not fit
    // the record, or the engine gave no task. No monitor should run then.
    bool CreateAndStartTask(std::uint32_t taskNumber, const std::wstring& url,
                            const std::wstring& fileName, const std::wstring& saveFolder);

    // Each reaches the task created for that request; 0 without a call when the request
    // created none (or no library is loaded). Otherwise the engine's answer.
    int PauseTask(std::uint32_t taskNumber);
    int ResumeTask(std::uint32_t taskNumber);
    int StopAndDeleteTask(std::uint32_t taskNumber);

    // Fills record for the task of taskNumber; leaves it as prepared when there is none.
    // Safe on the monitor thread while the UI thread creates or deletes tasks.
    void QueryTask(std::uint32_t taskNumber, TaskInfoRecord* record);

    // Handler of the speed-limit message: keeps the text and applies its number (KB/s) at
    // once when the library is loaded. Answers 0.
    int ApplySpeedLimit(const std::wstring& text);
    // After a task start: a limit chosen before the first download applies to it too.
    void ApplyStoredSpeedLimit();
    const std::wstring& SpeedLimitText() const { return speedLimitText_; }

    bool IsLoaded() const;
    bool IsInitialised() const { return initResult_; }

  private:
    DownWrapper* Wrapper() const;
    HANDLE TaskHandle(std::uint32_t taskNumber) const;

    std::wstring libraryPath_;
    UserPrompt& prompt_;
    bool initResult_ = false;
    std::wstring speedLimitText_;

    // Guards wrapper_ and taskHandles_: the monitor thread queries while the UI thread
    // creates and deletes tasks.
    mutable std::mutex lock_;
    std::unique_ptr<DownWrapper> wrapper_;
    std::map<std::uint32_t, HANDLE> taskHandles_;
};

}  // namespace korvane

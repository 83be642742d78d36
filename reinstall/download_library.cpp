#include "reinstall/download_library.h"

#include <vector>

#include "reinstall/speed_limit.h"

namespace korvane {

DownloadLibrary::DownloadLibrary(std::wstring appDataFolder, UserPrompt& prompt) : prompt_(prompt) {
    // Without a folder the path would be relative to the current drive's root.
    if (!appDataFolder.empty()) {
        libraryPath_ = appDataFolder + L"\\Download\\xldl.dll";
    }
}

DownloadLibrary::~DownloadLibrary() {
    if (wrapper_ && initResult_) {
        wrapper_->UnInit();
    }
}

bool DownloadLibrary::InitDownloadLibrary() {
    if (IsLoaded()) {
        return initResult_;
    }
    std::unique_ptr<DownWrapper> loaded;
    if (!libraryPath_.empty()) {
        loaded = DownWrapper::Load(libraryPath_);
    }
    if (!loaded) {
        prompt_.Ask(L"can not load xldl.dll", L"信息提示", MB_OK | MB_ICONERROR);
        return false;
    }
    DownWrapper* wrapper = loaded.get();
    {
        std::lock_guard<std::mutex> hold(lock_);
        wrapper_ = std::move(loaded);
    }
    initResult_ = wrapper->Init() != FALSE;
    return initResult_;
}

bool DownloadLibrary::CreateAndStartTask(std::uint32_t taskNumber, const std::wstring& url,
                                         const std::wstring& fileName,
                                         const std::wstring& saveFolder) {
    // Loads on the first request, and again after a failed load; a loaded library keeps
    // the answer of its one XL_Init.
    if (!InitDownloadLibrary()) {
        return false;
    }

    std::vector<unsigned char> record;
    if (!BuildTaskParamRecord(url, fileName, saveFolder, &record)) {
        return false;
    }
    DownWrapper* wrapper = Wrapper();
    HANDLE task = wrapper->CreateTask(record.data());
    if (!task) {
        return false;
    }
    {
        std::lock_guard<std::mutex> hold(lock_);
        taskHandles_[taskNumber] = task;
    }
    wrapper->StartTask(task);
    return true;
}

int DownloadLibrary::PauseTask(std::uint32_t taskNumber) {
    HANDLE task = TaskHandle(taskNumber);
    return task ? Wrapper()->StopTask(task) : 0;
}

int DownloadLibrary::ResumeTask(std::uint32_t taskNumber) {
    HANDLE task = TaskHandle(taskNumber);
    return task ? Wrapper()->StartTask(task) : 0;
}

int DownloadLibrary::StopAndDeleteTask(std::uint32_t taskNumber) {
    HANDLE task = TaskHandle(taskNumber);
    if (!task) {
        return 0;
    }
    DownWrapper* wrapper = Wrapper();
    wrapper->StopTask(task);
    BOOL deleted = wrapper->DeleteTask(task);
    // A task the engine still holds stays reachable.
    if (deleted) {
        std::lock_guard<std::mutex> hold(lock_);
        taskHandles_.erase(taskNumber);
    }
    return deleted;
}

void DownloadLibrary::QueryTask(std::uint32_t taskNumber, TaskInfoRecord* record) {
    HANDLE task = TaskHandle(taskNumber);
    if (task) {
        Wrapper()->QueryTaskInfoEx(task, record->Data());
    }
}

int DownloadLibrary::ApplySpeedLimit(const std::wstring& text) {
    speedLimitText_ = text;
    if (DownWrapper* wrapper = Wrapper()) {
        wrapper->SetSpeedLimit(ParseSpeedLimit(text));
    }
    return 0;
}

void DownloadLibrary::ApplyStoredSpeedLimit() {
    DownWrapper* wrapper = Wrapper();
    if (wrapper && !speedLimitText_.empty()) {
        wrapper->SetSpeedLimit(ParseSpeedLimit(speedLimitText_));
    }
}

bool DownloadLibrary::IsLoaded() const {
    return Wrapper() != nullptr;
}

DownWrapper* DownloadLibrary::Wrapper() const {
    std::lock_guard<std::mutex> hold(lock_);
    return wrapper_.get();
}

HANDLE DownloadLibrary::TaskHandle(std::uint32_t taskNumber) const {
    std::lock_guard<std::mutex> hold(lock_);
    if (!wrapper_) {
        return nullptr;
    }
    auto found = taskHandles_.find(taskNumber);
    return found == taskHandles_.end() ? nullptr : found->second;
}

}  // namespace korvane

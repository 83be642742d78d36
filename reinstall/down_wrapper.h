// xldl.dll loaded at run time: its seventeen entry points resolved by name, every call
// checked, so a library that lacks a name answers 0 for it instead of crashing.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "engine/xldl_api.h"
#include "sysutil/unique_handle.h"

namespace korvane {

class DownWrapper {
  public:
    // The entry points, in the order they are resolved.
    enum EntryPoint {
        kInit,
        kUnInit,
        kCreateTask,
        kDeleteTask,
        kStartTask,
        kStopTask,
        kQueryTaskInfo,
        kQueryTaskInfoEx,
        kSetSpeedLimit,
        kSetUploadSpeedLimit,
        kDelTempFile,
        kSetProxy,
        kSetUserAgent,
        kGetFileSizeWithUrl,
        kParseThunderPrivateUrl,
        kSetAdditionInfo,
        kSetFileIdAndSize,
        kEntryPointCount
    };

    // Null when LoadLibraryW fails; the caller tells the user.
    static std::unique_ptr<DownWrapper> Load(const std::wstring& path);

    // Frees the library.
    virtual ~DownWrapper() = default;
    DownWrapper(const DownWrapper&) = delete;
    DownWrapper& operator=(const DownWrapper&) = delete;

    bool HasEntryPoint(EntryPoint entry) const { return entryPoints_[entry] != nullptr; }

    // Each answers 0 (FALSE, no handle) without a call when the library lacks the name.
    BOOL Init() const;
    BOOL UnInit() const;
    HANDLE CreateTask(const void* taskParam) const;
    BOOL DeleteTask(HANDLE task) const;
    BOOL StartTask(HANDLE task) const;
    BOOL StopTask(HANDLE task) const;
    BOOL QueryTaskInfoEx(HANDLE task, void* taskInfo) const;
    BOOL SetSpeedLimit(INT32 kiloBytesPerSecond) const;

  private:
    explicit DownWrapper(HMODULE module);

    template <typename Fn>
    Fn Entry(EntryPoint entry) const {
        // Through void(*)(): the one function type a cast to any other is allowed from.
        return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(entryPoints_[entry]));
    }

    UniqueModule module_;
    FARPROC entryPoints_[kEntryPointCount] = {};
};

static_assert(DownWrapper::kEntryPointCount ==
              sizeof(xldl::kEntryPointNames) / sizeof(xldl::kEntryPointNames[0]));

}  // namespace korvane

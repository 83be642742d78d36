#include "reinstall/down_wrapper.h"

namespace korvane {

std::unique_ptr<DownWrapper> DownWrapper::Load(const std::wstring& path) {
    HMODULE module = LoadLibraryW(path.c_str());
    if (!module) {
        return nullptr;
    }
    return std::unique_ptr<DownWrapper>(new DownWrapper(module));
}

DownWrapper::DownWrapper(HMODULE module) : module_(module) {
    for (int i = 0; i < kEntryPointCount; ++i) {
        entryPoints_[i] = GetProcAddress(module, xldl::kEntryPointNames[i]);
    }
}

BOOL DownWrapper::Init() const {
    auto fn = Entry<xldl::XL_InitFn>(kInit);
    return fn ? fn() : FALSE;
}

BOOL DownWrapper::UnInit() const {
    auto fn = Entry<xldl::XL_UnInitFn>(kUnInit);
    return fn ? fn() : FALSE;
}

HANDLE DownWrapper::CreateTask(const void* taskParam) const {
    auto fn = Entry<xldl::XL_CreateTaskFn>(kCreateTask);
    return fn ? fn(taskParam) : nullptr;
}

BOOL DownWrapper::DeleteTask(HANDLE task) const {
    auto fn = Entry<xldl::XL_DeleteTaskFn>(kDeleteTask);
    return fn ? fn(task) : FALSE;
}

BOOL DownWrapper::StartTask(HANDLE task) const {
    auto fn = Entry<xldl::XL_StartTaskFn>(kStartTask);
    return fn ? fn(task) : FALSE;
}

BOOL DownWrapper::StopTask(HANDLE task) const {
    auto fn = Entry<xldl::XL_StopTaskFn>(kStopTask);
    return fn ? fn(task) : FALSE;
}

BOOL DownWrapper::QueryTaskInfoEx(HANDLE task, void* taskInfo) const {
    auto fn = Entry<xldl::XL_QueryTaskInfoExFn>(kQueryTaskInfoEx);
    return fn ? fn(task, taskInfo) : FALSE;
}

BOOL DownWrapper::SetSpeedLimit(INT32 kiloBytesPerSecond) const {
    auto fn = Entry<xldl::XL_SetSpeedLimitFn>(kSetSpeedLimit);
    return fn ? fn(kiloBytesPerSecond) : FALSE;
}

}  // namespace korvane

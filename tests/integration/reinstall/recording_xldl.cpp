// A stand-in xldl.dll that records every call it gets, for checking what the adapter
// passes across the boundary. Handles are 1, 2, 3, ... in creation order, as the engine's.
// Which names it exports is chosen by its .def file.
#include <windows.h>

#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "engine/xldl_api.h"

namespace {

using namespace korvane::xldl;

struct Recorder {
    std::mutex lock;
    std::string log;
    BOOL initResult = TRUE;
    bool createFails = false;
    std::uint32_t lastHandle = 0;
    std::map<std::uint32_t, std::vector<unsigned char>> tasks;  // live tasks: their records
    std::map<std::uint32_t, std::vector<unsigned char>> created;
};

Recorder& State() {
    static Recorder recorder;
    return recorder;
}

void Log(const std::string& entry) {
    std::lock_guard<std::mutex> hold(State().lock);
    if (!State().log.empty()) {
        State().log += ';';
    }
    State().log += entry;
}

std::string Number(HANDLE task) {
    return std::to_string(TaskNumberFromHandle(task));
}

bool IsLive(HANDLE task) {
    std::lock_guard<std::mutex> hold(State().lock);
    return State().tasks.count(TaskNumberFromHandle(task)) != 0;
}

}  // namespace

extern "C" {

BOOL WINAPI XL_Init() {
    Log("Init");
    return State().initResult;
}

BOOL WINAPI XL_UnInit() {
    Log("UnInit");
    return FALSE;
}

HANDLE WINAPI XL_CreateTask(const void* taskParam) {
    Recorder& r = State();
    std::uint32_t number = 0;
    {
        std::lock_guard<std::mutex> hold(r.lock);
        if (!r.createFails) {
            number = ++r.lastHandle;
            const auto* bytes = static_cast<const unsigned char*>(taskParam);
            r.tasks[number].assign(bytes, bytes + kTaskParamSize);
            r.created[number] = r.tasks[number];
        }
    }
    Log("CreateTask " + std::to_string(number));
    return TaskHandleFromNumber(number);
}

BOOL WINAPI XL_DeleteTask(HANDLE task) {
    Log("DeleteTask " + Number(task));
    std::lock_guard<std::mutex> hold(State().lock);
    return State().tasks.erase(TaskNumberFromHandle(task)) ? TRUE : FALSE;
}

BOOL WINAPI XL_StartTask(HANDLE task) {
    Log("StartTask " + Number(task));
    return IsLive(task);
}

BOOL WINAPI XL_StopTask(HANDLE task) {
    Log("StopTask " + Number(task));
    return IsLive(task);
}

// Fills state 3, the task's file name and its number as the total size.
BOOL WINAPI XL_QueryTaskInfoEx(HANDLE task, void* taskInfo) {
    Log("QueryEx " + Number(task));
    std::lock_guard<std::mutex> hold(State().lock);
    auto found = State().tasks.find(TaskNumberFromHandle(task));
    if (found == State().tasks.end()) {
        return FALSE;
    }
    auto* info = static_cast<unsigned char*>(taskInfo);
    std::int32_t state = kStateDownloading;
    std::int64_t total = found->first;
    std::memcpy(info + kInfoStateOffset, &state, 4);
    std::memcpy(info + kInfoFileNameOffset, found->second.data() + kParamFileNameOffset,
                kInfoFileNameMaxChars * 2);
    std::memcpy(info + kInfoTotalOffset, &total, 8);
    return TRUE;
}

BOOL WINAPI XL_QueryTaskInfo(HANDLE task, void*) {
    Log("Query " + Number(task));
    return FALSE;
}

BOOL WINAPI XL_SetSpeedLimit(INT32 kiloBytesPerSecond) {
    Log("SpeedLimit " + std::to_string(kiloBytesPerSecond));
    return TRUE;
}

BOOL WINAPI XL_SetUploadSpeedLimit(INT32, INT32) {
    Log("SetUploadSpeedLimit");
    return FALSE;
}

BOOL WINAPI XL_DelTempFile(const void*) {
    Log("DelTempFile");
    return FALSE;
}

BOOL WINAPI XL_SetProxy(const wchar_t*) {
    Log("SetProxy");
    return FALSE;
}

BOOL WINAPI XL_SetUserAgent(const wchar_t*) {
    Log("SetUserAgent");
    return FALSE;
}

BOOL WINAPI XL_GetFileSizeWithUrl(const wchar_t*, INT64*) {
    Log("GetFileSizeWithUrl");
    return FALSE;
}

BOOL WINAPI XL_ParseThunderPrivateUrl(const wchar_t*, wchar_t*, ULONG) {
    Log("ParseThunderPrivateUrl");
    return FALSE;
}

BOOL WINAPI XL_SetAdditionInfo(HANDLE, void*, char*, LONG) {
    Log("SetAdditionInfo");
    return FALSE;
}

BOOL WINAPI XL_SetFileIdAndSize(HANDLE, const char*, UINT64) {
    Log("SetFileIdAndSize");
    return FALSE;
}

// ---- For the test program (not part of the engine's names) ----

void WINAPI Recorder_SetInitResult(BOOL result) {
    State().initResult = result;
}

void WINAPI Recorder_SetCreateFails(BOOL fails) {
    State().createFails = fails != FALSE;
}

// The log as "Init;CreateTask 1;StartTask 1"; copies at most size - 1 characters.
void WINAPI Recorder_Log(char* buffer, int size) {
    std::lock_guard<std::mutex> hold(State().lock);
    std::string text = State().log.substr(0, static_cast<size_t>(size) - 1);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
}

// The parameter record task number received at its creation; FALSE for no such task.
BOOL WINAPI Recorder_TaskRecord(DWORD number, unsigned char* record) {
    std::lock_guard<std::mutex> hold(State().lock);
    auto found = State().created.find(number);
    if (found == State().created.end()) {
        return FALSE;
    }
    std::memcpy(record, found->second.data(), kTaskParamSize);
    return TRUE;
}

}  // extern "C"

// Helpers for the engine's tests: the DLL loaded by path as the program loads it, the
// Python test server started around the test program (see run-with-server), files,
// hashes and the two records.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/xldl_api.h"

namespace korvane::enginetest {

struct XlApi {
    HMODULE module = nullptr;
    xldl::XL_InitFn Init = nullptr;
    xldl::XL_UnInitFn UnInit = nullptr;
    xldl::XL_CreateTaskFn CreateTask = nullptr;
    xldl::XL_DeleteTaskFn DeleteTask = nullptr;
    xldl::XL_StartTaskFn StartTask = nullptr;
    xldl::XL_StopTaskFn StopTask = nullptr;
    xldl::XL_QueryTaskInfoFn QueryTaskInfo = nullptr;
    xldl::XL_QueryTaskInfoExFn QueryTaskInfoEx = nullptr;
    xldl::XL_SetSpeedLimitFn SetSpeedLimit = nullptr;
    xldl::XL_SetUploadSpeedLimitFn SetUploadSpeedLimit = nullptr;
    xldl::XL_DelTempFileFn DelTempFile = nullptr;
    xldl::XL_SetProxyFn SetProxy = nullptr;
    xldl::XL_SetUserAgentFn SetUserAgent = nullptr;
    xldl::XL_GetFileSizeWithUrlFn GetFileSizeWithUrl = nullptr;
    xldl::XL_ParseThunderPrivateUrlFn ParseThunderPrivateUrl = nullptr;
    xldl::XL_SetAdditionInfoFn SetAdditionInfo = nullptr;
    xldl::XL_SetFileIdAndSizeFn SetFileIdAndSize = nullptr;
};

// Loads xldl.dll from `path` (default: the build's engine folder) and resolves all
// seventeen names; false when any is missing.
bool LoadXl(XlApi* api, const std::wstring& path = std::wstring());
std::wstring BuiltDllPath();
std::wstring BuiltFilePath(const std::string& relative);  // inside the build folder

// "Z:\..." for a path of the host.
std::wstring HostToWindows(const std::string& unixPath);
std::string EnvText(const char* name);

// The test server (started by run-with-server).
bool ServerAvailable();
std::wstring ServerUrl(const std::string& nameAndQuery);
std::wstring ServerRoot();  // Windows path of the served folder
// Body of a GET to the server's control paths ("__stats?name=x").
std::string ServerGet(const std::string& target);
std::int64_t ServerStat(const std::string& name, const char* key);
// The twin of the server that sends at most a fixed rate over all its connections together
// (a slow line); empty when run-with-server did not start it.
std::wstring SharedRateServerUrl(const std::string& nameAndQuery);
// Established TCP connections of this machine to a loopback port (the clients' ends).
int ConnectionsToPort(int port);

// Writes `size` pseudo-random bytes (from `seed`) to the served folder.
void MakeServedFile(const std::string& name, std::int64_t size, std::uint32_t seed);
std::string Sha256OfFile(const std::wstring& path);
bool FileExists(const std::wstring& path);
std::int64_t FileSize(const std::wstring& path);
// A new empty folder of our own for one test's downloads.
std::wstring FreshFolder(const std::wstring& name);

std::vector<unsigned char> MakeTaskParams(const std::wstring& url, const std::wstring& fileName,
                                          const std::wstring& folder, std::int32_t connections = 5,
                                          std::int32_t resume = 1);

struct TaskInfo {
    std::int32_t state = 0;
    std::int32_t failure = 0;
    std::wstring fileName;
    std::int64_t total = 0;
    std::int64_t downloaded = 0;
    float fraction = 0;
    std::int32_t speed = 0;
};
// Queries as the program does: clears the record, sets state 2, calls the Ex form.
TaskInfo Query(const XlApi& api, HANDLE task);
// Polls every 50 ms until `done` holds or `seconds` pass; answers the last info.
TaskInfo WaitUntil(const XlApi& api, HANDLE task, double seconds,
                   const std::function<bool(const TaskInfo&)>& done);
inline bool Settled(const TaskInfo& i) {
    return i.state == 1 || i.state == 4;
}

}  // namespace korvane::enginetest

// The calling contract of xldl.dll, our download engine: entry-point types and the byte
// layout of the two records that cross the boundary. Shared by the engine and by the
// program's loader. The records are plain byte buffers read and written at fixed offsets,
// so their layout is the same in the 32- and the 64-bit builds.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace korvane::xldl {

// ---- Entry points -------------------------------------------------------------------------
// All exported undecorated ("XL_Init", not "_XL_Init@0") with the WINAPI convention.
// A task handle is the task's creation number in the process (1, 2, 3, ...) carried in a
// HANDLE; 0 means no task.

using XL_InitFn = BOOL(WINAPI*)();
using XL_UnInitFn = BOOL(WINAPI*)();
// taskParam: a task parameter record (kTaskParamSize bytes, layout below).
using XL_CreateTaskFn = HANDLE(WINAPI*)(const void* taskParam);
using XL_DeleteTaskFn = BOOL(WINAPI*)(HANDLE task);
using XL_StartTaskFn = BOOL(WINAPI*)(HANDLE task);
using XL_StopTaskFn = BOOL(WINAPI*)(HANDLE task);
// taskInfo: a task information record (kTaskInfoSize bytes, layout below). Both query forms
// fill the same fields; an unknown handle leaves the record untouched and answers FALSE.
using XL_QueryTaskInfoFn = BOOL(WINAPI*)(HANDLE task, void* taskInfo);
using XL_QueryTaskInfoExFn = BOOL(WINAPI*)(HANDLE task, void* taskInfo);
// KB/s over all connections of all tasks; 0 = no limit. Takes effect at once.
using XL_SetSpeedLimitFn = BOOL(WINAPI*)(INT32 kiloBytesPerSecond);
// The engine never uploads; answers FALSE.
using XL_SetUploadSpeedLimitFn = BOOL(WINAPI*)(INT32 tcpKiloBytesPerSecond,
                                               INT32 otherKiloBytesPerSecond);
// Removes the partial data and state kept for the task the record describes.
using XL_DelTempFileFn = BOOL(WINAPI*)(const void* taskParam);
// "host:port" of an HTTP proxy for every later connection; null or empty text returns to
// the system's proxy setting.
using XL_SetProxyFn = BOOL(WINAPI*)(const wchar_t* hostAndPort);
// User-Agent text of every later request; null or empty restores the default.
using XL_SetUserAgentFn = BOOL(WINAPI*)(const wchar_t* userAgent);
// Asks the server for the size of the resource; FALSE when it cannot be learnt.
using XL_GetFileSizeWithUrlFn = BOOL(WINAPI*)(const wchar_t* url, INT64* size);
// Decodes a "thunder://" link into the URL it wraps. bufferChars counts wchar_t units,
// the terminator included; FALSE when the link is malformed or the buffer too small.
using XL_ParseThunderPrivateUrlFn = BOOL(WINAPI*)(const wchar_t* thunderUrl, wchar_t* url,
                                                  ULONG bufferChars);
// Hand-over of an already connected socket: not supported, answers FALSE.
using XL_SetAdditionInfoFn = BOOL(WINAPI*)(HANDLE task, void* socketInfo, char* responseHead,
                                           LONG responseHeadBytes);
// Declares the expected size of the task's file: a server that announces another length
// fails the task. A non-empty content id cannot be checked by this engine: answers FALSE.
using XL_SetFileIdAndSizeFn = BOOL(WINAPI*)(HANDLE task, const char* fileId, UINT64 size);

// The seventeen names, in the order a loader resolves them.
inline constexpr const char* kEntryPointNames[17] = {"XL_Init",
                                                     "XL_UnInit",
                                                     "XL_CreateTask",
                                                     "XL_DeleteTask",
                                                     "XL_StartTask",
                                                     "XL_StopTask",
                                                     "XL_QueryTaskInfo",
                                                     "XL_QueryTaskInfoEx",
                                                     "XL_SetSpeedLimit",
                                                     "XL_SetUploadSpeedLimit",
                                                     "XL_DelTempFile",
                                                     "XL_SetProxy",
                                                     "XL_SetUserAgent",
                                                     "XL_GetFileSizeWithUrl",
                                                     "XL_ParseThunderPrivateUrl",
                                                     "XL_SetAdditionInfo",
                                                     "XL_SetFileIdAndSize"};

// ---- Task parameter record (caller-filled, zero elsewhere) --------------------------------
inline constexpr std::size_t kTaskParamSize = 26564;
inline constexpr std::size_t kParamUrlOffset = 4;           // UTF-16, zero-terminated
inline constexpr std::size_t kParamUrlMaxChars = 2084;      // terminator included
inline constexpr std::size_t kParamFileNameOffset = 16532;  // UTF-16, zero-terminated
inline constexpr std::size_t kParamFileNameMaxChars = 260;
inline constexpr std::size_t kParamSaveFolderOffset = 17572;  // UTF-16, zero-terminated
inline constexpr std::size_t kParamSaveFolderMaxChars = 260;
// 32-bit values. The program writes 0, 0, 5, 0, 1 in this order.
inline constexpr std::size_t kParamReserved18096Offset = 18096;  // 0
inline constexpr std::size_t kParamReserved18356Offset = 18356;  // 0
inline constexpr std::size_t kParamConnectionsOffset = 18360;  // connections per task, 0 = default
inline constexpr std::size_t kParamReserved18364Offset = 18364;  // 0
inline constexpr std::size_t kParamResumeOffset = 18368;         // 1 = continue kept partial data

// ---- Task information record (engine-filled) ----------------------------------------------
// The caller clears kTaskInfoSize bytes and sets the state to kStateStopped before a query.
inline constexpr std::size_t kTaskInfoSize = 1429;
inline constexpr std::size_t kInfoStateOffset = 0;          // int32, TaskState
inline constexpr std::size_t kInfoFailureOffset = 4;        // int32, failure code
inline constexpr std::size_t kInfoFileNameOffset = 8;       // UTF-16, zero-terminated
inline constexpr std::size_t kInfoFileNameMaxChars = 260;   // terminator included
inline constexpr std::size_t kInfoTotalOffset = 1048;       // int64, bytes; 0 while unknown
inline constexpr std::size_t kInfoDownloadedOffset = 1056;  // int64, bytes
inline constexpr std::size_t kInfoFractionOffset = 1064;    // float, 0.0 .. 1.0
inline constexpr std::size_t kInfoSpeedOffset = 1152;       // int32, bytes per second

enum TaskState : std::int32_t {
    kStateFailed = 1,
    kStateStopped = 2,  // paused, or not yet running
    kStateDownloading = 3,
    kStateFinished = 4,
};

// Failure codes (kInfoFailureOffset) of a task in kStateFailed.
inline constexpr std::int32_t kFailureOther = 0;      // server, network, bad request
inline constexpr std::int32_t kFailureLocalFile = 1;  // the local file cannot be created or grown

// Task handle <-> creation number.
inline HANDLE TaskHandleFromNumber(std::uint32_t number) {
    return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(number));
}
inline std::uint32_t TaskNumberFromHandle(HANDLE task) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(task));
}

}  // namespace korvane::xldl

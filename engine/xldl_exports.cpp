// The entry points of xldl.dll. Each one is a thin door into the engine; no C++ exception
// or failure crosses it as anything but a FALSE/0 answer.
#include <windows.h>

#include "engine/engine_core.h"
#include "engine/thunder_link.h"
#include "engine/xldl_api.h"
#include "sysutil/no_throw.h"

using korvane::xldl::Engine;
using korvane::xldl::TaskHandleFromNumber;
using korvane::xldl::TaskNumberFromHandle;

namespace {

template <typename F>
BOOL Guarded(F f) {
    return korvane::Guarded(false, f) ? TRUE : FALSE;
}

}  // namespace

extern "C" {

BOOL WINAPI XL_Init() {
    return Guarded([] { return Engine::Instance().Init(); });
}

BOOL WINAPI XL_UnInit() {
    return Guarded([] { return Engine::Instance().UnInit(); });
}

HANDLE WINAPI XL_CreateTask(const void* taskParam) {
    return korvane::Guarded(HANDLE(nullptr), [&] {
        return TaskHandleFromNumber(
            Engine::Instance().CreateTask(static_cast<const unsigned char*>(taskParam)));
    });
}

BOOL WINAPI XL_DeleteTask(HANDLE task) {
    return Guarded([&] { return Engine::Instance().DeleteTask(TaskNumberFromHandle(task)); });
}

BOOL WINAPI XL_StartTask(HANDLE task) {
    return Guarded([&] { return Engine::Instance().StartTask(TaskNumberFromHandle(task)); });
}

BOOL WINAPI XL_StopTask(HANDLE task) {
    return Guarded([&] { return Engine::Instance().StopTask(TaskNumberFromHandle(task)); });
}

BOOL WINAPI XL_QueryTaskInfo(HANDLE task, void* taskInfo) {
    return Guarded([&] {
        return Engine::Instance().QueryTask(TaskNumberFromHandle(task),
                                            static_cast<unsigned char*>(taskInfo));
    });
}

BOOL WINAPI XL_QueryTaskInfoEx(HANDLE task, void* taskInfo) {
    return XL_QueryTaskInfo(task, taskInfo);
}

BOOL WINAPI XL_SetSpeedLimit(INT32 kiloBytesPerSecond) {
    return Guarded([&] {
        Engine::Instance().SetSpeedLimit(kiloBytesPerSecond);
        return true;
    });
}

BOOL WINAPI XL_SetUploadSpeedLimit(INT32, INT32) {
    return FALSE;  // this engine never uploads, so there is nothing to limit
}

BOOL WINAPI XL_DelTempFile(const void* taskParam) {
    return Guarded([&] {
        return Engine::Instance().DeleteTempFiles(static_cast<const unsigned char*>(taskParam));
    });
}

BOOL WINAPI XL_SetProxy(const wchar_t* hostAndPort) {
    return Guarded(
        [&] { return Engine::Instance().SetProxy(hostAndPort != nullptr ? hostAndPort : L""); });
}

BOOL WINAPI XL_SetUserAgent(const wchar_t* userAgent) {
    return Guarded([&] {
        Engine::Instance().SetUserAgent(userAgent != nullptr ? userAgent : L"");
        return true;
    });
}

BOOL WINAPI XL_GetFileSizeWithUrl(const wchar_t* url, INT64* size) {
    return Guarded([&] {
        std::int64_t value = 0;
        if (url == nullptr || size == nullptr || !Engine::Instance().QueryFileSize(url, &value)) {
            return false;
        }
        *size = value;
        return true;
    });
}

BOOL WINAPI XL_ParseThunderPrivateUrl(const wchar_t* thunderUrl, wchar_t* url, ULONG bufferChars) {
    return Guarded([&] {
        if (thunderUrl == nullptr || url == nullptr || bufferChars == 0) {
            return false;
        }
        std::string link;
        for (const wchar_t* p = thunderUrl; *p != 0; ++p) {
            if (*p > 0x7F) {
                return false;  // base64 is ASCII
            }
            link += static_cast<char>(*p);
        }
        std::string bytes;
        if (!korvane::xldl::DecodeThunderLink(link, &bytes)) {
            return false;
        }
        // Links made in China carry GBK text; others UTF-8.
        UINT codePage = CP_UTF8;
        int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(),
                                    static_cast<int>(bytes.size()), nullptr, 0);
        if (n <= 0) {
            codePage = CP_ACP;
            n = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()),
                                    nullptr, 0);
        }
        if (n <= 0 || static_cast<ULONG>(n) + 1 > bufferChars) {
            return false;
        }
        MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), url, n);
        url[n] = 0;
        return true;
    });
}

BOOL WINAPI XL_SetAdditionInfo(HANDLE, void*, char*, LONG) {
    return FALSE;  // taking over a foreign connection is not supported
}

BOOL WINAPI XL_SetFileIdAndSize(HANDLE task, const char* fileId, UINT64 size) {
    return Guarded([&] {
        if ((fileId != nullptr && fileId[0] != 0) || size > static_cast<UINT64>(INT64_MAX)) {
            return false;  // content ids cannot be checked by this engine
        }
        return Engine::Instance().SetExpectedSize(TaskNumberFromHandle(task),
                                                  static_cast<std::int64_t>(size));
    });
}

}  // extern "C"

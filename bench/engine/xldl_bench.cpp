// Downloads one URL with xldl.dll loaded by path, as the program does, and prints how long
// the transfer took inside the process (no Wine start-up in the figure).
//   xldl_bench <xldl.dll> <url> <folder> <file name> [connections, default 5 as the program]
// Prints "kept <bytes>" (what a resumed run started from), "progress <bytes>" about ten
// times a second, then "bytes <n>", "seconds <s>" and "state <n>".
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <cstring>
#include <vector>

#include "engine/xldl_api.h"
#include "reinstall/task_records.h"

using namespace korvane::xldl;

template <typename T>
T Get(HMODULE m, const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(m, name)));
}

int wmain(int argc, wchar_t** argv) {
    if (argc != 5 && argc != 6) {
        std::fprintf(stderr, "usage: xldl_bench <xldl.dll> <url> <folder> <file name>\n");
        return 2;
    }
    HMODULE dll = LoadLibraryW(argv[1]);
    if (dll == nullptr) {
        std::fprintf(stderr, "can not load xldl.dll\n");
        return 2;
    }
    auto init = Get<XL_InitFn>(dll, "XL_Init");
    auto create = Get<XL_CreateTaskFn>(dll, "XL_CreateTask");
    auto start = Get<XL_StartTaskFn>(dll, "XL_StartTask");
    auto query = Get<XL_QueryTaskInfoExFn>(dll, "XL_QueryTaskInfoEx");
    if (!init || !create || !start || !query || !init()) {
        return 2;
    }
    // The record exactly as the program builds it; the connection count may be chosen.
    std::vector<unsigned char> params;
    if (!korvane::BuildTaskParamRecord(argv[2], argv[4], argv[3], &params)) {
        return 2;
    }
    if (argc == 6) {
        const std::int32_t connections = static_cast<std::int32_t>(wcstol(argv[5], nullptr, 10));
        std::memcpy(params.data() + kParamConnectionsOffset, &connections, 4);
    }
    LARGE_INTEGER frequency, t0, t1;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&t0);
    HANDLE task = create(params.data());
    start(task);
    bool reportedKept = false;
    DWORD lastProgress = GetTickCount();
    for (;;) {
        korvane::TaskInfoRecord info;  // prepared as the program prepares it
        query(task, info.Data());
        const std::int32_t state = info.State();
        const std::int64_t downloaded = info.DownloadedBytes();
        if (!reportedKept && (downloaded > 0 || state == kStateFinished)) {
            std::printf("kept %lld\n", static_cast<long long>(downloaded));
            std::fflush(stdout);
            reportedKept = true;
        }
        if (GetTickCount() - lastProgress >= 100) {
            std::printf("progress %lld\n", static_cast<long long>(downloaded));
            std::fflush(stdout);
            lastProgress = GetTickCount();
        }
        if (state == kStateFinished || state == kStateFailed) {
            QueryPerformanceCounter(&t1);
            std::printf("bytes %lld\nseconds %.3f\nstate %d\n",
                        static_cast<long long>(info.TotalBytes()),
                        static_cast<double>(t1.QuadPart - t0.QuadPart) /
                            static_cast<double>(frequency.QuadPart),
                        state);
            return state == kStateFinished ? 0 : 1;
        }
        Sleep(5);
    }
}

// A stand-in for the program in crash tests: loads the engine by path, downloads one file
// and keeps its progress in a file so the test can kill it mid-transfer.
//   engine_driver <xldl.dll> <url> <folder> <file name>
// Exit status: 0 finished, 1 failed, 2 bad use.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/xldl_api.h"
#include "reinstall/task_records.h"

using namespace korvane::xldl;

int wmain(int argc, wchar_t** argv) {
    if (argc != 5) {
        return 2;
    }
    HMODULE dll = LoadLibraryW(argv[1]);
    if (dll == nullptr) {
        return 2;
    }
    auto init =
        reinterpret_cast<XL_InitFn>(reinterpret_cast<void*>(GetProcAddress(dll, "XL_Init")));
    auto create = reinterpret_cast<XL_CreateTaskFn>(
        reinterpret_cast<void*>(GetProcAddress(dll, "XL_CreateTask")));
    auto start = reinterpret_cast<XL_StartTaskFn>(
        reinterpret_cast<void*>(GetProcAddress(dll, "XL_StartTask")));
    auto query = reinterpret_cast<XL_QueryTaskInfoExFn>(
        reinterpret_cast<void*>(GetProcAddress(dll, "XL_QueryTaskInfoEx")));
    if (!init || !create || !start || !query || !init()) {
        return 2;
    }
    // The record exactly as the program builds it.
    std::vector<unsigned char> params;
    if (!korvane::BuildTaskParamRecord(argv[2], argv[4], argv[3], &params)) {
        return 2;
    }
    HANDLE task = create(params.data());
    start(task);
    std::wstring progressPath = std::wstring(argv[3]) + L"\\progress.txt";
    bool reportedStart = false;
    for (;;) {
        korvane::TaskInfoRecord info;  // prepared as the program prepares it
        query(task, info.Data());
        const std::int32_t state = info.State();
        const std::int64_t downloaded = info.DownloadedBytes();
        std::string text = std::to_string(downloaded) + "\n";
        if (!reportedStart && downloaded > 0) {
            // The first figure of a resumed run: what the engine kept from before.
            std::string first = "first " + text;
            HANDLE f = CreateFileW((progressPath + L".first").c_str(), GENERIC_WRITE, 0, nullptr,
                                   CREATE_ALWAYS, 0, nullptr);
            DWORD written;
            WriteFile(f, first.data(), static_cast<DWORD>(first.size()), &written, nullptr);
            CloseHandle(f);
            reportedStart = true;
        }
        HANDLE f = CreateFileW(progressPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                               CREATE_ALWAYS, 0, nullptr);
        DWORD written;
        WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(f);
        if (state == kStateFinished) {
            return 0;
        }
        if (state == kStateFailed) {
            return 1;
        }
        Sleep(20);
    }
}

// The engine as the program meets it, in a process of its own: the program's file layout
// (xldl.dll in Download, companions in Download\download), task numbering from 1, a crash
// in the middle of a transfer, and MiniTPFw's clean-up of deleted tasks.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "tests/integration/engine/engine_test_support.h"

namespace korvane::enginetest {
namespace {

constexpr std::int64_t kMiB = 1 << 20;

// The program's layout, built from the build folder's files.
std::wstring MakeProgramLayout() {
    std::wstring base = FreshFolder(L"layout");
    std::wstring download = base + L"\\Download";
    std::wstring companions = download + L"\\download";
    CreateDirectoryW(download.c_str(), nullptr);
    CreateDirectoryW(companions.c_str(), nullptr);
    CopyFileW(BuiltDllPath().c_str(), (download + L"\\xldl.dll").c_str(), FALSE);
    CopyFileW(BuiltFilePath("engine/MiniTPFw.exe").c_str(),
              (companions + L"\\MiniTPFw.exe").c_str(), FALSE);
    CopyFileW(HostToWindows(EnvText("KORVANE_SOURCE_DIR") + "/engine/id.dat").c_str(),
              (companions + L"\\id.dat").c_str(), FALSE);
    return download;
}

DWORD RunAndWait(const std::wstring& commandLine, DWORD timeoutMs = 60000) {
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    std::wstring cmd = commandLine;
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
        return 0xFFFFFFFF;
    }
    WaitForSingleObject(pi.hProcess, timeoutMs);
    DWORD code = 0xFFFFFFFE;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

std::int64_t ReadNumberFile(const std::wstring& path) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        return -1;
    }
    char text[64] = {};
    DWORD read = 0;
    ReadFile(f, text, sizeof(text) - 1, &read, nullptr);
    CloseHandle(f);
    const char* digits = text;
    while (*digits != 0 && (*digits < '0' || *digits > '9')) {
        ++digits;
    }
    return std::atoll(digits);
}

std::string AgentSeen(const std::string& name) {
    std::string json = ServerGet("__stats?name=" + name);
    std::size_t at = json.find("\"agent\": \"");
    return at == std::string::npos ? std::string()
                                   : json.substr(at + 10, json.find('"', at + 10) - at - 10);
}

class EngineFirstTasks : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!ServerAvailable()) {
            GTEST_SKIP() << "run through run-with-server";
        }
    }
};

TEST_F(EngineFirstTasks, NumbersTasksFromOneAndLeavesUnknownRecordsAlone) {
    std::wstring download = MakeProgramLayout();
    XlApi api;
    ASSERT_TRUE(LoadXl(&api, download + L"\\xldl.dll"));
    MakeServedFile("first.bin", 2 * kMiB, 7);
    std::vector<unsigned char> params =
        MakeTaskParams(ServerUrl("first.bin"), L"first.bin", FreshFolder(L"first"));
    EXPECT_EQ(api.CreateTask(params.data()), nullptr);  // not initialised yet
    ASSERT_TRUE(api.Init());
    HANDLE one = api.CreateTask(params.data());
    std::vector<unsigned char> unusable(xldl::kTaskParamSize, 0);  // no URL at all
    HANDLE two = api.CreateTask(unusable.data());
    HANDLE three = api.CreateTask(params.data());
    EXPECT_EQ(xldl::TaskNumberFromHandle(one), 1u);
    EXPECT_EQ(xldl::TaskNumberFromHandle(two), 2u);
    EXPECT_EQ(xldl::TaskNumberFromHandle(three), 3u);

    // A task that cannot work still has its number and reports failure, not success.
    api.StartTask(two);
    EXPECT_EQ(WaitUntil(api, two, 10, Settled).state, 1);
    EXPECT_EQ(Query(api, one).state, 2);  // created, not started

    for (std::uintptr_t unknown : {0u, 4u, 999u}) {
        unsigned char record[1432];
        for (std::size_t i = 0; i < sizeof(record); ++i) {
            record[i] = static_cast<unsigned char>(i * 7);
        }
        unsigned char before[1432];
        std::memcpy(before, record, sizeof(record));
        EXPECT_FALSE(api.QueryTaskInfoEx(reinterpret_cast<HANDLE>(unknown), record));
        EXPECT_FALSE(api.QueryTaskInfo(reinterpret_cast<HANDLE>(unknown), record));
        EXPECT_EQ(std::memcmp(record, before, sizeof(record)), 0) << unknown;
        EXPECT_FALSE(api.StartTask(reinterpret_cast<HANDLE>(unknown)));
    }

    // id.dat beside the engine names its version in the user agent.
    api.StartTask(one);
    ASSERT_EQ(WaitUntil(api, one, 30, Settled).state, 4);
    EXPECT_EQ(AgentSeen("first.bin"), "KorvaneDownloader/1.0.2026.1208 (partner 88010)");
}

TEST_F(EngineFirstTasks, DeletedDataThatWasInUseIsRemovedByMiniTPFw) {
    std::wstring download = MakeProgramLayout();
    std::wstring companions = download + L"\\download";
    std::wstring folder = FreshFolder(L"leftover");
    // Partial data another program holds open cannot be removed at delete time.
    std::wstring held = folder + L"\\held.gho.kvdl";
    std::wstring busy = folder + L"\\busy.gho.kvdl";
    std::wstring plain = folder + L"\\notes.txt";
    for (const std::wstring& p : {held, busy, plain}) {
        HANDLE f = CreateFileW(p.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(f);
    }
    std::wstring list = held + L"\n" + busy + L"\n" + plain + L"\n" + folder + L"\\gone.kvdl\n";
    HANDLE f = CreateFileW((companions + L"\\leftovers.lst").c_str(), GENERIC_WRITE, 0, nullptr,
                           CREATE_ALWAYS, 0, nullptr);
    DWORD written;
    WriteFile(f, list.data(), static_cast<DWORD>(list.size() * 2), &written, nullptr);
    CloseHandle(f);
    HANDLE holder = CreateFileW(busy.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);

    EXPECT_EQ(RunAndWait(companions + L"\\MiniTPFw.exe"), 0u);
    EXPECT_FALSE(FileExists(held));
    EXPECT_TRUE(FileExists(busy));
    EXPECT_TRUE(FileExists(plain));  // not ours: never removed through the list

    CloseHandle(holder);
    EXPECT_EQ(RunAndWait(companions + L"\\MiniTPFw.exe"), 0u);
    EXPECT_FALSE(FileExists(busy));
    EXPECT_TRUE(FileExists(plain));
    EXPECT_FALSE(FileExists(companions + L"\\leftovers.lst"));
}

TEST_F(EngineFirstTasks, AKilledDownloadResumesWithLittleFetchedTwice) {
    std::wstring download = MakeProgramLayout();
    const std::int64_t size = 48 * kMiB;
    MakeServedFile("crash.bin", size, 99);
    std::wstring folder = FreshFolder(L"crash");
    std::wstring url = ServerUrl("crash.bin?rate=3000000");
    std::wstring driver = BuiltFilePath("tests/integration/engine/engine_driver.exe");
    std::wstring cmd = L"\"" + driver + L"\" \"" + download + L"\\xldl.dll\" \"" + url + L"\" \"" +
                       folder + L"\" crash.bin";

    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    std::wstring mutableCmd = cmd;
    ASSERT_TRUE(CreateProcessW(nullptr, mutableCmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &si, &pi));
    DWORD start = GetTickCount();
    while (ReadNumberFile(folder + L"\\progress.txt") < 16 * kMiB &&
           GetTickCount() - start < 60000) {
        Sleep(20);
    }
    TerminateProcess(pi.hProcess, 9);  // no chance to save anything
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    std::int64_t before = ReadNumberFile(folder + L"\\progress.txt");
    ASSERT_GE(before, 16 * kMiB);
    ASSERT_FALSE(FileExists(folder + L"\\crash.bin"));
    DeleteFileW((folder + L"\\progress.txt.first").c_str());

    EXPECT_EQ(RunAndWait(cmd), 0u);
    EXPECT_EQ(Sha256OfFile(folder + L"\\crash.bin"), Sha256OfFile(ServerRoot() + L"\\crash.bin"));
    std::int64_t kept = ReadNumberFile(folder + L"\\progress.txt.first");
    EXPECT_GE(kept, before - 4 * kMiB) << "resumed from " << kept << " after " << before;
    // Everything the server sent across both runs, beyond the file once.
    std::int64_t fetchedTwice = ServerStat("crash.bin", "bytes") - size;
    EXPECT_LE(fetchedTwice, 4 * kMiB);
    std::printf("killed at %lld bytes, resumed from %lld, fetched twice %lld bytes\n",
                static_cast<long long>(before), static_cast<long long>(kept),
                static_cast<long long>(fetchedTwice));
}

}  // namespace
}  // namespace korvane::enginetest

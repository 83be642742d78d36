// Hidden child processes: waiting for a whole tree, capture, exit codes, no leaked handles.
#include <gtest/gtest.h>

#include "sysutil/process_runner.h"

#include <tlhelp32.h>
#include "tests/support/test_paths.h"

namespace korvane {
namespace {

std::wstring Helper() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    return path.substr(0, path.find_last_of(L'\\') + 1) + L"child_tree_helper.exe";
}

std::wstring TempFile(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + name;
}

// A capture returns while its command may still be writing; the test ends such helpers.
void EndLeftoverHelpers() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, L"child_tree_helper.exe") == 0) {
            HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID);
            if (process) {
                TerminateProcess(process, 1);
                CloseHandle(process);
            }
        }
    }
    CloseHandle(snapshot);
}

TEST(RunHiddenCommand, WithoutCaptureWaitsForTheWholeProcessTree) {
    // The helper leaves a grandchild that inherited the pipe, writes a line and exits at
    // once. Without capture its output must not reach the pipe: a read that returned with
    // that line would end the wait while the grandchild is still at work.
    std::wstring marker = TempFile(L"korvane-tree-marker");
    test::RemoveFile(marker);
    DWORD start = GetTickCount();
    HiddenCommandResult result = RunHiddenCommandEx(
        L"\"" + Helper() + L"\" spawn 1500 \"" + marker + L"\" child-output", false);
    DWORD elapsed = GetTickCount() - start;
    EXPECT_TRUE(result.started);
    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_EQ(result.output, L"") << "the child's output reached the pipe";
    EXPECT_TRUE(test::FileExists(marker)) << "returned before the grandchild ended";
    EXPECT_GE(elapsed, 1400u);
    EndLeftoverHelpers();
    test::RemoveFile(marker);
}

TEST(RunHiddenCommand, CaptureReturnsTheFirstChunkOfOutput) {
    EXPECT_EQ(RunHiddenCommand(L"cmd.exe /c echo hello", true).substr(0, 5), L"hello");
    std::wstring big = RunHiddenCommand(L"\"" + Helper() + L"\" print 10000", true);
    EndLeftoverHelpers();
    EXPECT_FALSE(big.empty());
    EXPECT_LE(big.size(), 4096u);
    EXPECT_EQ(big.find_first_not_of(L'x'), std::wstring::npos);
}

TEST(RunHiddenCommand, ReportsExitCodesAndCommandsThatCannotStart) {
    HiddenCommandResult failed = RunHiddenCommandEx(L"\"" + Helper() + L"\" exit 7", false);
    EXPECT_TRUE(failed.exited);
    EXPECT_EQ(failed.exitCode, 7u);
    EXPECT_EQ(RunHiddenCommandEx(L"cmd.exe /c exit 3", false).exitCode, 3u);

    HiddenCommandResult missing = RunHiddenCommandEx(L"Z:\\no\\such\\program.exe", false);
    EXPECT_FALSE(missing.started);
    EXPECT_EQ(RunHiddenCommand(L"Z:\\no\\such\\program.exe", true), L"");
}

TEST(RunHiddenCommand, ClosesEveryHandleItOpens) {
    RunHiddenCommand(L"\"" + Helper() + L"\" exit 0", false);  // warm up lazily loaded DLLs
    DWORD before = 0, after = 0;
    ASSERT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &before));
    for (int i = 0; i < 20; ++i) {
        RunHiddenCommand(L"\"" + Helper() + L"\" exit 0", false);
        RunHiddenCommand(L"\"" + Helper() + L"\" print 10", true);
        RunHiddenCommand(L"Z:\\no\\such\\program.exe", false);
    }
    ASSERT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &after));
    // Sixty runs leaking even one handle each would show; allow for the loader's noise.
    EXPECT_LT(after, before + 10) << "before " << before << ", after " << after;
}

}  // namespace
}  // namespace korvane

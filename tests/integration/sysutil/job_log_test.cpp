// The job log on real files: stamped UTF-8 lines in order, whole under many writers,
// rotation at its limit, and a log that cannot be written never holding a job back.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "sysutil/job_log.h"
#include "sysutil/unique_handle.h"
#include "tests/integration/reinstall/test_folders.h"
#include "tests/support/test_paths.h"

namespace korvane {
namespace {

using test::FileExists;
using test::FolderNames;
using test::ReadFileBytes;
using test::Utf8;
using testing_support::NewTempFolder;

constexpr size_t kStampLength = 20;  // "YYYY-MM-DD HH:MM:SS "

std::wstring LogOf(const std::wstring& folder) {
    return folder + L"\\" + kJobLogName;
}
std::wstring OldLogOf(const std::wstring& folder) {
    return folder + L"\\" + kOldJobLogName;
}

std::string LocalStamp() {
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    char stamp[32] = {};
    snprintf(stamp, sizeof(stamp), "%04u-%02u-%02u %02u:%02u:%02u ", now.wYear, now.wMonth,
             now.wDay, now.wHour, now.wMinute, now.wSecond);
    return stamp;
}

// The texts of a log's lines, stamps taken off. A line without its CR LF or its stamp is
// kept whole behind "BROKEN:", so a comparison shows it.
std::vector<std::string> Texts(const std::string& bytes,
                               std::vector<std::string>* stamps = nullptr) {
    std::vector<std::string> texts;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find("\r\n", start);
        std::string line = bytes.substr(start, end == std::string::npos ? end : end - start);
        bool stamped = line.size() >= kStampLength && line[4] == '-' && line[10] == ' ' &&
                       line[13] == ':' && line[19] == ' ';
        if (end == std::string::npos || !stamped) {
            texts.push_back("BROKEN:" + line);
        } else {
            texts.push_back(line.substr(kStampLength));
            if (stamps) {
                stamps->push_back(line.substr(0, kStampLength));
            }
        }
        start = end == std::string::npos ? bytes.size() : end + 2;
    }
    return texts;
}

std::vector<std::string> LogTexts(const std::wstring& path) {
    return Texts(ReadFileBytes(path));
}

TEST(JobLog, WritesStampedUtf8LinesInOrderAndAppendsOnReopen) {
    std::wstring folder = NewTempFolder(L"kv-log") + L"\\not-yet";  // made by the first line
    std::string before = LocalStamp();
    OpenJobLog(folder);
    LogJob(L"download: task 1 started");
    LogJob(L"系统镜像 已下载，校验通过");
    LogJob(L"command a\r\nb\nc\rd");
    ASSERT_TRUE(FlushJobLog());
    std::string after = LocalStamp();

    std::string bytes = ReadFileBytes(LogOf(folder));
    std::vector<std::string> stamps;
    EXPECT_EQ(Texts(bytes, &stamps),
              (std::vector<std::string>{"download: task 1 started",
                                        Utf8(L"系统镜像 已下载，校验通过"), "command a  b c d"}));
    for (const std::string& stamp : stamps) {
        EXPECT_TRUE(before <= stamp && stamp <= after) << stamp << " not in local time";
    }

    // The next run appends. Lines still on their way when the log moves keep their folder
    // (enough of them that some usually are).
    std::wstring elsewhere = NewTempFolder(L"kv-log-other");
    OpenJobLog(folder);
    for (int i = 0; i < 2000; ++i) {
        LogJob(L"second run");
    }
    OpenJobLog(elsewhere);
    LogJob(L"other folder");
    ASSERT_TRUE(FlushJobLog());
    std::string appended = ReadFileBytes(LogOf(folder));
    EXPECT_EQ(appended.substr(0, bytes.size()), bytes);
    EXPECT_EQ(Texts(appended.substr(bytes.size())), std::vector<std::string>(2000, "second run"));
    EXPECT_EQ(LogTexts(LogOf(elsewhere)), std::vector<std::string>{"other folder"});
}

TEST(JobLog, LinesFromManyThreadsArriveWholeAndOnce) {
    std::wstring folder = NewTempFolder(L"kv-log-threads");
    OpenJobLog(folder);
    constexpr int kThreads = 8, kLines = 500;  // fewer than the log holds pending
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i) {
                LogJob(L"thread " + std::to_wstring(t) + L" line " + std::to_wstring(i) +
                       L" 镜像文件校验中");
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    ASSERT_TRUE(FlushJobLog());

    std::vector<int> next(kThreads, 0);  // each thread's lines also keep their order
    std::set<std::string> seen;
    for (const std::string& text : LogTexts(LogOf(folder))) {
        int t = -1, i = -1;
        ASSERT_EQ(sscanf(text.c_str(), "thread %d line %d", &t, &i), 2) << text;
        ASSERT_TRUE(t >= 0 && t < kThreads) << text;
        std::string expected =
            "thread " + std::to_string(t) + " line " + std::to_string(i) + Utf8(L" 镜像文件校验中");
        EXPECT_EQ(text, expected);
        EXPECT_EQ(i, next[t]) << text;
        next[t] = i + 1;
        EXPECT_TRUE(seen.insert(text).second) << "twice: " << text;
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(kThreads * kLines));
}

// Numbered lines of about 1 KB; a file's lines as numbers.
std::wstring Numbered(int n) {
    return L"line " + std::to_wstring(n) + L" " + std::wstring(980, L'x');
}
std::vector<int> Numbers(const std::wstring& path) {
    std::vector<int> numbers;
    for (const std::string& text : LogTexts(path)) {
        int n = -1;
        numbers.push_back(sscanf(text.c_str(), "line %d", &n) == 1 ? n : -1);
    }
    return numbers;
}

TEST(JobLog, RotatesBeforeTheLimitKeepingOneOldFile) {
    std::wstring folder = NewTempFolder(L"kv-log-rotate");
    OpenJobLog(folder);
    auto logLines = [](int from, int to) {
        for (int n = from; n < to; ++n) {
            LogJob(Numbered(n));
        }
        return FlushJobLog();
    };
    auto sizeOf = [](const std::wstring& path) { return ReadFileBytes(path).size(); };
    ASSERT_TRUE(logLines(0, 1100));  // about 1.1 MB: one rotation
    std::vector<int> old = Numbers(OldLogOf(folder));
    std::vector<int> current = Numbers(LogOf(folder));
    ASSERT_FALSE(old.empty());
    ASSERT_FALSE(current.empty());
    EXPECT_LE(sizeOf(OldLogOf(folder)), kJobLogLimit);
    EXPECT_LT(sizeOf(LogOf(folder)), kJobLogLimit);
    // Not early: the first line of the new file would not have fitted into the old one.
    EXPECT_GT(sizeOf(OldLogOf(folder)) + ReadFileBytes(LogOf(folder)).find("\r\n") + 2,
              kJobLogLimit);
    std::vector<int> all = old;
    all.insert(all.end(), current.begin(), current.end());
    ASSERT_EQ(all.size(), 1100u);
    for (int n = 0; n < 1100; ++n) {
        ASSERT_EQ(all[n], n) << "lost, doubled or out of order at rotation";
    }

    std::string previous = ReadFileBytes(LogOf(folder));
    ASSERT_TRUE(logLines(1100, 2200));
    EXPECT_EQ(FolderNames(folder).size(), 2u);
    std::string secondOld = ReadFileBytes(OldLogOf(folder));
    EXPECT_EQ(secondOld.substr(0, previous.size()), previous) << "the old file was not replaced";
    EXPECT_EQ(Numbers(LogOf(folder)).back(), 2199);

    // One line longer than the whole limit is cut, not let past it.
    LogJob(std::wstring(3 * kJobLogLimit, L'y'));
    ASSERT_TRUE(FlushJobLog());
    EXPECT_LE(sizeOf(LogOf(folder)), kJobLogLimit);
    EXPECT_EQ(LogTexts(LogOf(folder)).back().substr(0, 100), std::string(100, 'y'));
}

TEST(JobLog, AnUnwritableLogLosesItsLinesAndNothingElse) {
    std::wstring base = NewTempFolder(L"kv-log-broken");
    std::wstring notAFolder = base + L"\\a-file";
    ASSERT_TRUE(test::WriteFileBytes(notAFolder, "not a folder"));
    std::wstring logIsAFolder = base + L"\\log-is-a-folder";
    ASSERT_TRUE(CreateDirectoryW(logIsAFolder.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(LogOf(logIsAFolder).c_str(), nullptr));

    for (const std::wstring& folder : {notAFolder, logIsAFolder}) {
        EXPECT_NO_THROW({
            OpenJobLog(folder);
            for (int i = 0; i < 100; ++i) {
                LogJob(L"lost line");
            }
        });
        EXPECT_TRUE(FlushJobLog()) << "the writer hangs on an unwritable log";
    }
    EXPECT_EQ(ReadFileBytes(notAFolder), "not a folder");
    EXPECT_EQ(GetFileAttributesW(LogOf(logIsAFolder).c_str()) & FILE_ATTRIBUTE_DIRECTORY,
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(FolderNames(logIsAFolder).size(), 1u);

    // The writer survived: a good folder gets its lines.
    std::wstring good = NewTempFolder(L"kv-log-good");
    OpenJobLog(good);
    LogJob(L"still logging");
    ASSERT_TRUE(FlushJobLog());
    EXPECT_EQ(LogTexts(LogOf(good)), std::vector<std::string>{"still logging"});
}

TEST(JobLog, ALockedLogDoesNotHoldTheCaller) {
    std::wstring folder = NewTempFolder(L"kv-log-locked");
    OpenJobLog(folder);
    LogJob(L"before the lock");
    ASSERT_TRUE(FlushJobLog());
    {
        UniqueHandle lock(CreateFileW(LogOf(folder).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(lock.IsValid());
        for (int i = 0; i < 1000; ++i) {
            LogJob(L"while locked");  // returns: nothing waits for the file
        }
        // Given up, not waited for: a held log must not delay the program's exit.
        EXPECT_TRUE(FlushJobLog(30000));
    }
    LogJob(L"after the lock");
    ASSERT_TRUE(FlushJobLog());
    EXPECT_EQ(LogTexts(LogOf(folder)),
              (std::vector<std::string>{"before the lock", "after the lock"}));

    // Held without delete sharing, a full log cannot be rotated: it stays within its limit.
    for (int n = 0; n < 900; ++n) {
        LogJob(Numbered(n));  // about 0.9 MB
    }
    ASSERT_TRUE(FlushJobLog());
    {
        UniqueHandle reader(CreateFileW(LogOf(folder).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        0, nullptr));
        ASSERT_TRUE(reader.IsValid());
        for (int n = 900; n < 1200; ++n) {
            LogJob(Numbered(n));
        }
        EXPECT_TRUE(FlushJobLog(30000));
        EXPECT_LE(ReadFileBytes(LogOf(folder)).size(), kJobLogLimit);
        EXPECT_FALSE(FileExists(OldLogOf(folder)));
    }
}

// Run in a child process of its own (JobLog.WritesNothingBeforeItIsOpened), where no test
// has opened the log yet.
TEST(JobLogChild, DISABLED_BeforeOpen) {
    wchar_t folder[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"KORVANE_JOB_LOG_CHILD", folder, MAX_PATH), 0u);
    ASSERT_TRUE(SetCurrentDirectoryW(folder));
    std::wstring root = std::wstring(folder).substr(0, 3) + kJobLogName;
    bool rootHadOne = FileExists(root);
    LogJob(L"before open");
    EXPECT_TRUE(FlushJobLog());
    EXPECT_TRUE(FolderNames(folder).empty());
    EXPECT_EQ(FileExists(root), rootHadOne);
    // Lines before the opening are not kept for it either.
    OpenJobLog(folder);
    LogJob(L"after open");
    EXPECT_TRUE(FlushJobLog());
}

TEST(JobLog, WritesNothingBeforeItIsOpened) {
    std::wstring folder = NewTempFolder(L"kv-log-unopened");
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(self) +
                               L"\" --gtest_also_run_disabled_tests "
                               L"--gtest_filter=JobLogChild.DISABLED_BeforeOpen";
    ASSERT_TRUE(SetEnvironmentVariableW(L"KORVANE_JOB_LOG_CHILD", folder.c_str()));
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION child = {};
    ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &child));
    SetEnvironmentVariableW(L"KORVANE_JOB_LOG_CHILD", nullptr);
    CloseHandle(child.hThread);
    UniqueHandle process(child.hProcess);
    ASSERT_EQ(WaitForSingleObject(process.Get(), 120000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.Get(), &exitCode);
    EXPECT_EQ(exitCode, 0u) << "the child's checks failed";
    EXPECT_EQ(LogTexts(LogOf(folder)), std::vector<std::string>{"after open"});
}

}  // namespace
}  // namespace korvane

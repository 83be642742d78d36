// The machine state the staging tests start from and look at: the stand-in boot store,
// boot.ini, the staged files at the drive roots and the stand-in shutdown's record.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "staging/boot_commands.h"
#include "sysutil/process_runner.h"
#include "sysutil/system_info.h"
#include "tests/support/test_paths.h"

namespace korvane::test {

inline const std::wstring kStore = L"C:\\Boot\\BCD";
inline const std::wstring kStoreBackup = L"C:\\Boot\\BCD_";
inline const std::wstring kShutdownLog = L"C:\\korvane-shutdown.log";

inline const std::string kInitialStore =
    "[{bootmgr}]\r\ndefault={current}\r\ndisplayorder={current}\r\ntimeout=30\r\n"
    "[{current}]\r\ndescription=Windows 7\r\n";

inline const std::string kXpBootIni =
    "[boot loader]\r\ntimeout=30\r\n"
    "default=multi(0)disk(0)rdisk(0)partition(1)\\WINDOWS\r\n"
    "[operating systems]\r\n"
    "multi(0)disk(0)rdisk(0)partition(1)\\WINDOWS=\"Microsoft Windows XP Professional\" "
    "/noexecute=optin /fastdetect\r\n";

// cmd's exit code when it could not start the program it was given.
constexpr DWORD kCmdCouldNotStart = 9009;

// The stand-in editor adds a line here each time it starts (tests/doubles/bcdedit_double.cpp).
inline const std::wstring kEditorRunsLog = L"C:\\Boot\\BCD.runs";

inline size_t EditorRunCount() {
    const std::string runs = ReadFileBytes(kEditorRunsLog);
    return static_cast<size_t>(std::count(runs.begin(), runs.end(), '\n'));
}

// Runs a "cmd.exe /c ..." line for real and waits for it. Under load, Wine now and then fails to
// start a program that is there: cmd then says it does not know the command (exit code 9009),
// our launcher says it cannot start the editor, or a program that never ran is reported to have
// ended with 0. A launch that did not reach its program is started again (at most twice), since
// nothing ran; a command of the editor counts as reached when the stand-in editor recorded a
// start. Any other result is returned as it came.
inline HiddenCommandResult RunStartingAgainIfWineCouldNot(const std::wstring& commandLine) {
    const bool editorCommand = commandLine.find(L"\\bcdedit.exe") != std::wstring::npos;
    for (int attempt = 0;; ++attempt) {
        const size_t editorRuns = EditorRunCount();
        HiddenCommandResult result = RunHiddenCommandEx(commandLine, false);
        const bool notReached = (result.exited && result.exitCode == kCmdCouldNotStart) ||
                                (editorCommand && EditorRunCount() == editorRuns);
        if (!notReached || attempt == 2) {
            return result;
        }
        std::cerr << "[ note ] started again after a failed launch: " << Utf8(commandLine) << "\n";
    }
}

// Runs commands for real and keeps what it ran.
class RecordingRunner : public CommandRunner {
  public:
    HiddenCommandResult Run(const std::wstring& commandLine) override {
        commands.push_back(commandLine);
        HiddenCommandResult result = RunStartingAgainIfWineCouldNot(commandLine);
        results.push_back(result);
        return result;
    }
    std::vector<std::wstring> commands;
    std::vector<HiddenCommandResult> results;
};

class StagingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        appData = GetApplicationDataFolder();
        CreateDirectoryW(appData.substr(0, appData.find_last_of(L'\\')).c_str(), nullptr);
        CreateDirectoryW(appData.c_str(), nullptr);
        CreateDirectoryW(L"C:\\Boot", nullptr);
        for (const wchar_t* root : {L"C:\\", L"S:\\"}) {
            CleanRoot(root);
        }
        RemoveFile(kStoreBackup);
        RemoveFile(kShutdownLog);
        ASSERT_TRUE(WriteFileBytes(kStore, kInitialStore));
    }

    void TearDown() override {
        for (const wchar_t* root : {L"C:\\", L"S:\\"}) {
            CleanRoot(root);
        }
        RemoveFile(kStoreBackup);
        RemoveFile(kShutdownLog);
    }

    static void CleanRoot(const std::wstring& root) {
        for (const wchar_t* name :
             {L"krldr", L"krldr.ima", L"krldr.mbr", L"Ghost.ba_", L"boot.ini", L"boot.in_"}) {
            RemoveFile(root + name);
        }
    }

    static std::string Store() { return ReadFileBytes(kStore); }

    static bool StoreHas(const std::string& line) {
        return Store().find(line + "\r\n") != std::string::npos;
    }

    static std::string Entry() { return Utf8(kBootEntryId); }
    // "[id]" (built by append: GCC 12 wrongly warns of overlapping copies for "[" + s + "]").
    static std::string EntrySection() { return std::string("[").append(Entry()).append("]"); }

    static bool LoaderFilesAt(const std::wstring& root) {
        for (const wchar_t* name : {L"krldr", L"krldr.ima", L"krldr.mbr"}) {
            DWORD attributes = GetFileAttributesW((root + name).c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_HIDDEN)) {
                return false;
            }
        }
        return true;
    }

    static bool NothingStagedAt(const std::wstring& root) {
        for (const wchar_t* name : {L"krldr", L"krldr.ima", L"krldr.mbr", L"Ghost.ba_"}) {
            if (FileExists(root + name)) {
                return false;
            }
        }
        return true;
    }

    static std::string ShutdownRecord() { return ReadFileBytes(kShutdownLog); }

    std::wstring appData;
};

}  // namespace korvane::test

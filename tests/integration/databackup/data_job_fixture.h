// What the personal-data job tests share: a page, shell folders and a view that record what
// the job did, and real folders of their own on the test prefix's C: drive.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "databackup/data_job.h"
#include "sysutil/unique_handle.h"
#include "tests/support/scripted_prompt.h"
#include "tests/support/test_paths.h"

namespace korvane::test {

class FakePage : public PersonalDataPage {
  public:
    std::map<std::wstring, bool> options;
    std::map<std::wstring, std::wstring> edits;

    bool IsOptionSelected(const std::wstring& name) override {
        auto it = options.find(name);
        return it != options.end() && it->second;
    }
    std::wstring EditText(const std::wstring& name) override {
        auto it = edits.find(name);
        return it == edits.end() ? std::wstring() : it->second;
    }
    void SelectOnly(std::initializer_list<int> numbers) {
        for (int i = 1; i <= 6; ++i) {
            options[L"BackUpDoc_Op" + std::to_wstring(i)] = false;
        }
        for (int n : numbers) {
            options[L"BackUpDoc_Op" + std::to_wstring(n)] = true;
        }
    }
};

class FakeShellFolders : public ShellFolderSource {
  public:
    std::map<int, std::wstring> folders;
    std::wstring Locate(int csidl) override {
        auto it = folders.find(csidl);
        return it == folders.end() ? std::wstring() : it->second;
    }
};

// Records the two lines (each count line with the time it was set) and the close.
class RecordingView : public DataJobView {
  public:
    void SetActivityText(const std::wstring& text) override {
        std::lock_guard<std::mutex> hold(lock_);
        activity.push_back(text);
    }
    void SetCountText(const std::wstring& text) override {
        std::lock_guard<std::mutex> hold(lock_);
        counts.push_back(text);
        countTimes.push_back(GetTickCount());
    }
    void CloseJobWindow() override {
        std::lock_guard<std::mutex> hold(lock_);
        ++closes;
    }

    void Clear() {
        activity.clear();
        counts.clear();
        countTimes.clear();
        closes = 0;
    }

    std::vector<std::wstring> activity;
    std::vector<std::wstring> counts;
    std::vector<DWORD> countTimes;
    int closes = 0;

  private:
    std::mutex lock_;
};

inline std::wstring Long(const std::wstring& path) {
    return L"\\\\?\\" + path;
}

// Runs a Unix program of the host. Wine starts it without a process to wait for, so the
// caller waits for its effect: until done() holds, at most 10 s; answers done().
inline bool RunUnix(const std::wstring& commandLine, const std::function<bool()>& done) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    std::wstring line = commandLine;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return false;
    }
    UniqueHandle thread(process.hThread);
    UniqueHandle child(process.hProcess);
    for (int i = 0; i < 200 && !done(); ++i) {
        Sleep(50);
    }
    return done();
}

inline std::wstring Wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

// The Unix path of a folder on a Wine drive.
inline std::string UnixPath(const std::wstring& path) {
    typedef char*(CDECL * ToUnix)(const wchar_t*);
    auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix) {
        return std::string();
    }
    char* unix = toUnix(path.c_str());
    std::string out = unix ? unix : "";
    HeapFree(GetProcessHeap(), 0, unix);
    return out;
}

// Removes a folder and everything below it, however deep; links are removed, not followed.
inline void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    UniqueFindHandle find(FindFirstFileW(Long(folder + L"\\*").c_str(), &found));
    if (find.IsValid()) {
        do {
            std::wstring name = found.cFileName;
            std::wstring path = folder + L"\\" + name;
            if (name == L"." || name == L"..") {
                continue;
            }
            SetFileAttributesW(Long(path).c_str(), FILE_ATTRIBUTE_NORMAL);
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                RemoveTree(path);
            } else if (!DeleteFileW(Long(path).c_str()) && !RemoveDirectoryW(Long(path).c_str())) {
                // A Unix link to a folder: neither call takes it away under Wine.
                RunUnix(L"Z:\\bin\\rm -f " + Wide(UnixPath(path)), [&] {
                    return GetFileAttributesW(Long(path).c_str()) == INVALID_FILE_ATTRIBUTES;
                });
            }
        } while (FindNextFileW(find.Get(), &found));
    }
    RemoveDirectoryW(Long(folder).c_str());
}

inline void MakeFolders(const std::wstring& path) {
    for (size_t sep = path.find(L'\\', 3); sep != std::wstring::npos;
         sep = path.find(L'\\', sep + 1)) {
        CreateDirectoryW(Long(path.substr(0, sep)).c_str(), nullptr);
    }
    CreateDirectoryW(Long(path).c_str(), nullptr);
}

// A file with its own name as content, its folders made first.
inline void MakeFile(const std::wstring& path) {
    MakeFolders(path.substr(0, path.rfind(L'\\')));
    ASSERT_TRUE(WriteFileBytes(Long(path), Utf8(path))) << Utf8(path);
}

inline bool HasFileOf(const std::wstring& copy, const std::wstring& original) {
    bool ok = false;
    std::string bytes = ReadFileBytes(Long(copy), &ok);
    return ok && bytes == Utf8(original);
}

inline DWORD Attributes(const std::wstring& path) {
    return GetFileAttributesW(Long(path).c_str());
}

// Names in a folder, "." and ".." left out.
inline std::vector<std::wstring> Listing(const std::wstring& folder) {
    return FolderNames(Long(folder));
}

// One job's folders: a user with Documents, Desktop and Favorites and a backup root, below
// C:\KorvaneDataJob\<test name>.
class DataJobTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        base = L"C:\\KorvaneDataJob\\" + std::wstring(name.begin(), name.end());
        RemoveTree(base);
        documents = base + L"\\user\\Documents";
        desktop = base + L"\\user\\Desktop";
        favorites = base + L"\\user\\Favorites";
        root = base + L"\\backup";
        for (const std::wstring& folder : {documents, desktop, favorites}) {
            MakeFolders(folder);
        }
        shell.folders = {
            {CSIDL_PERSONAL, documents}, {CSIDL_DESKTOP, desktop}, {CSIDL_FAVORITES, favorites}};
        page.SelectOnly({1, 2, 3, 4, 5, 6});
        page.edits = {{L"BackUpDocPath_Edit", root}, {L"RestoreDocPath_Edit", root}};
    }
    void TearDown() override {
        if (!mountedAt.empty()) {
            RunUnix(L"Z:\\bin\\umount " + Wide(UnixPath(mountedAt)),
                    [&] { return Listing(mountedAt).empty(); });
        }
        RemoveTree(base);
    }

    void Run(int direction) {
        view.Clear();
        prompt.asked.clear();
        RunDataJob({direction, page, view, shell, prompt});
        ASSERT_EQ(view.closes, 1) << "the job closes its window once";
        ASSERT_EQ(prompt.Asked().size(), 1u) << "the job ends with one message";
    }
    ScriptedPrompt::Question EndMessage() { return prompt.Asked().back(); }

    std::wstring base, documents, desktop, favorites, root;
    std::wstring mountedAt;  // a folder the test mounted something on
    FakePage page;
    FakeShellFolders shell;
    RecordingView view;
    ScriptedPrompt prompt;
};

}  // namespace korvane::test

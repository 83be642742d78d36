// The engine files written from the program's resources (here: the test program's own
// "KRDL" resources, each holding its name) and MiniTPFw.exe run and awaited.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "reinstall/engine_files.h"
#include "test_folders.h"

namespace korvane {
namespace {

using testing_support::FileExists;
using testing_support::NewTempFolder;
using testing_support::ReadWholeFile;

std::string Marked(const char* name) {
    return std::string("KRDL test file ") + name + "\n";
}

std::string Utf16Bytes(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

TEST(EngineFilesTest, EveryFileLandsInItsFolderAndMiniTPFwIsAwaited) {
    // A blank in the path, and a program where an unquoted command line would find one.
    std::wstring parent = NewTempFolder(L"kv-engine");
    std::wstring appData = parent + L"\\app data\\QMZXT";
    CreateDirectoryW((parent + L"\\app data").c_str(), nullptr);
    CreateDirectoryW(appData.c_str(), nullptr);
    // An older, longer engine file is replaced, not overwritten in place.
    CreateDirectoryW((appData + L"\\Download").c_str(), nullptr);
    HANDLE old = CreateFileW((appData + L"\\Download\\xldl.dll").c_str(), GENERIC_WRITE, 0, nullptr,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, old);
    DWORD written = 0;
    std::string junk(5000, 'x');
    WriteFile(old, junk.data(), static_cast<DWORD>(junk.size()), &written, nullptr);
    CloseHandle(old);

    WriteDownloadEngineFiles(appData);

    const std::wstring engine = appData + L"\\Download\\";
    const std::wstring companions = engine + L"download\\";
    EXPECT_EQ(Marked("xldl.dll"), ReadWholeFile(engine + L"xldl.dll"));
    const char* companionNames[] = {"atl71.dll",
                                    "dl_peer_id.dll",
                                    "download_engine.dll",
                                    "id.dat",
                                    "MiniThunderPlatform.exe",
                                    "minizip.dll",
                                    "msvcp71.dll",
                                    "msvcr71.dll",
                                    "XLBugHandler.dll",
                                    "XLBugReport.exe",
                                    "zlib1.dll",
                                    "ThunderFW.dll"};
    for (const char* name : companionNames) {
        std::wstring wide(name, name + strlen(name));
        EXPECT_EQ(Marked(name), ReadWholeFile(companions + wide)) << name;
        EXPECT_FALSE(FileExists(engine + wide)) << name;
    }
    EXPECT_FALSE(FileExists(companions + L"xldl.dll"));

    // Already written when the call returns: the run was awaited.
    EXPECT_EQ(Utf16Bytes(L"\"" + companions + L"MiniTPFw.exe\""),
              ReadWholeFile(companions + L"ran.txt"));
}

TEST(EngineFilesTest, BlanksInThePathNeverStartAnotherProgram) {
    std::wstring parent = NewTempFolder(L"kv-engine");
    std::wstring appData = parent + L"\\app data\\QMZXT";
    CreateDirectoryW((parent + L"\\app data").c_str(), nullptr);
    CreateDirectoryW(appData.c_str(), nullptr);
    // Where "...\app data\QMZXT\..." unquoted would be looked for first.
    WriteDownloadEngineFiles(appData);
    std::wstring probe = appData + L"\\Download\\download\\MiniTPFw.exe";
    ASSERT_TRUE(CopyFileW(probe.c_str(), (parent + L"\\app.exe").c_str(), FALSE));
    DeleteFileW((appData + L"\\Download\\download\\ran.txt").c_str());

    WriteDownloadEngineFiles(appData);

    EXPECT_FALSE(FileExists(parent + L"\\ran.txt"));
    EXPECT_TRUE(FileExists(appData + L"\\Download\\download\\ran.txt"));
}

TEST(EngineFilesTest, NoFolderWritesNothing) {
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    std::wstring root(current, 2);
    bool existedBefore = FileExists(root + L"\\Download\\xldl.dll");
    WriteDownloadEngineFiles(L"");
    EXPECT_EQ(existedBefore, FileExists(root + L"\\Download\\xldl.dll"));
    EXPECT_FALSE(FileExists(root + L"\\Download\\download\\ran.txt"));
}

}  // namespace
}  // namespace korvane

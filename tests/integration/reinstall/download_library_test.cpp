// The adapter against a stand-in xldl.dll that records the calls it gets: what crosses the
// boundary, in which order, and which task each operation reaches.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "reinstall/download_library.h"
#include "test_folders.h"

namespace korvane {
namespace {

using testing_support::NewTempFolder;
using testing_support::WinePath;

struct AskedQuestion {
    std::wstring text;
    std::wstring caption;
    UINT type;
};

class RecordingPrompt : public UserPrompt {
  public:
    int Ask(const std::wstring& text, const std::wstring& caption, UINT type) override {
        asked.push_back({text, caption, type});
        return IDOK;
    }
    int AskTimed(const std::wstring& text, const std::wstring& caption, UINT type,
                 DWORD) override {
        return Ask(text, caption, type);
    }
    std::vector<AskedQuestion> asked;
};

using SetInitResultFn = void(WINAPI*)(BOOL);
using SetCreateFailsFn = void(WINAPI*)(BOOL);
using LogFn = void(WINAPI*)(char*, int);
using TaskRecordFn = BOOL(WINAPI*)(DWORD, unsigned char*);

template <typename Fn>
Fn Export(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

class RecordedEngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        appData_ = NewTempFolder(L"kv-adapter") + L"\\QMZXT";
        CreateDirectoryW(appData_.c_str(), nullptr);
        CreateDirectoryW((appData_ + L"\\Download").c_str(), nullptr);
        library_ = std::make_unique<DownloadLibrary>(appData_, prompt_);
    }

    void TearDown() override {
        library_.reset();
        if (recorder_) {
            FreeLibrary(recorder_);
        }
    }

    // Puts one of the stand-ins where the adapter looks for xldl.dll and holds it loaded,
    // so the test can configure and read it.
    void Install(const char* unixPath) {
        std::wstring target = appData_ + L"\\Download\\xldl.dll";
        ASSERT_TRUE(CopyFileW(WinePath(unixPath).c_str(), target.c_str(), FALSE));
        recorder_ = LoadLibraryW(target.c_str());
        ASSERT_NE(nullptr, recorder_);
    }

    std::string Log() {
        char buffer[4096] = {};
        Export<LogFn>(recorder_, "Recorder_Log")(buffer, sizeof(buffer));
        return buffer;
    }

    bool Create(std::uint32_t taskNumber, const std::wstring& fileName) {
        return library_->CreateAndStartTask(taskNumber, L"http://127.0.0.1/images/" + fileName,
                                            fileName, L"D:\\QMZ");
    }

    std::wstring appData_;
    RecordingPrompt prompt_;
    std::unique_ptr<DownloadLibrary> library_;
    HMODULE recorder_ = nullptr;
};

TEST_F(RecordedEngineTest, FirstTaskInitialisesOnceAndPassesTheRecordAsBuilt) {
    Install(KORVANE_RECORDER_FULL);
    EXPECT_FALSE(library_->IsLoaded());
    EXPECT_TRUE(
        library_->CreateAndStartTask(1, L"http://127.0.0.1/win7.GHO", L"win7.GHO", L"E:\\系统"));
    EXPECT_TRUE(library_->IsLoaded());
    EXPECT_TRUE(library_->IsInitialised());
    EXPECT_TRUE(Create(2, L"xp.GHO"));
    EXPECT_EQ("Init;CreateTask 1;StartTask 1;CreateTask 2;StartTask 2", Log());
    EXPECT_TRUE(prompt_.asked.empty());

    std::vector<unsigned char> received(xldl::kTaskParamSize);
    ASSERT_TRUE(Export<TaskRecordFn>(recorder_, "Recorder_TaskRecord")(1, received.data()));
    std::vector<unsigned char> expected;
    ASSERT_TRUE(
        BuildTaskParamRecord(L"http://127.0.0.1/win7.GHO", L"win7.GHO", L"E:\\系统", &expected));
    EXPECT_TRUE(received == expected);
}

TEST_F(RecordedEngineTest, FailedInitIsNeverRetried) {
    Install(KORVANE_RECORDER_FULL);
    Export<SetInitResultFn>(recorder_, "Recorder_SetInitResult")(FALSE);
    EXPECT_FALSE(Create(1, L"a.GHO"));
    EXPECT_FALSE(Create(2, L"b.GHO"));
    EXPECT_TRUE(library_->IsLoaded());
    EXPECT_FALSE(library_->IsInitialised());
    EXPECT_EQ(0, library_->PauseTask(1));
    EXPECT_EQ("Init", Log());
}

TEST_F(RecordedEngineTest, OperationsReachTheTaskTheirRequestCreated) {
    Install(KORVANE_RECORDER_FULL);
    ASSERT_TRUE(Create(1, L"first.GHO"));
    // Request 2 stopped before creating a task (image already on disk).
    ASSERT_TRUE(Create(3, L"third.GHO"));
    EXPECT_EQ("Init;CreateTask 1;StartTask 1;CreateTask 2;StartTask 2", Log());

    EXPECT_NE(0, library_->PauseTask(3));
    EXPECT_NE(0, library_->ResumeTask(3));
    EXPECT_EQ(0, library_->PauseTask(2));
    EXPECT_EQ(0, library_->ResumeTask(2));
    EXPECT_EQ(0, library_->StopAndDeleteTask(2));

    TaskInfoRecord info;
    library_->QueryTask(3, &info);
    EXPECT_EQ(xldl::kStateDownloading, info.State());
    EXPECT_EQ(L"third.GHO", info.FileName());
    info.Prepare();
    library_->QueryTask(2, &info);
    EXPECT_EQ(xldl::kStateStopped, info.State());
    EXPECT_EQ(L"", info.FileName());

    EXPECT_NE(0, library_->StopAndDeleteTask(3));
    EXPECT_EQ(0, library_->PauseTask(3));
    info.Prepare();
    library_->QueryTask(3, &info);
    EXPECT_EQ(xldl::kStateStopped, info.State());
    EXPECT_NE(0, library_->PauseTask(1));

    EXPECT_EQ(
        "Init;CreateTask 1;StartTask 1;CreateTask 2;StartTask 2;"
        "StopTask 2;StartTask 2;QueryEx 2;StopTask 2;DeleteTask 2;StopTask 1",
        Log());
}

TEST_F(RecordedEngineTest, NothingIsCalledBeforeTheFirstTask) {
    Install(KORVANE_RECORDER_FULL);
    EXPECT_EQ(0, library_->PauseTask(0));
    EXPECT_EQ(0, library_->ResumeTask(1));
    EXPECT_EQ(0, library_->StopAndDeleteTask(1));
    TaskInfoRecord info;
    library_->QueryTask(1, &info);
    EXPECT_EQ(xldl::kStateStopped, info.State());
    // A limit set before any download is kept and applied once the first task starts.
    EXPECT_EQ(0, library_->ApplySpeedLimit(L" 512abc"));
    EXPECT_EQ(L" 512abc", library_->SpeedLimitText());
    EXPECT_FALSE(library_->IsLoaded());
    EXPECT_EQ("", Log());

    ASSERT_TRUE(Create(1, L"a.GHO"));
    library_->ApplyStoredSpeedLimit();
    library_->ApplySpeedLimit(L"");
    library_->ApplyStoredSpeedLimit();  // empty text: nothing to apply
    library_->ApplySpeedLimit(L"100000");
    EXPECT_EQ("Init;CreateTask 1;StartTask 1;SpeedLimit 512;SpeedLimit 0;SpeedLimit 100000", Log());
}

TEST_F(RecordedEngineTest, TextsThatDoNotFitCreateNoTask) {
    Install(KORVANE_RECORDER_FULL);
    std::wstring longName(MaxTaskFileNameChars() - 3, L'n');
    EXPECT_FALSE(Create(1, longName + L".GHO"));
    EXPECT_FALSE(library_->CreateAndStartTask(2, L"http://127.0.0.1/a.GHO", L"a.GHO",
                                              L"D:\\" + std::wstring(300, L'f')));
    EXPECT_TRUE(Create(3, longName.substr(1) + L".GHO"));
    EXPECT_EQ(0, library_->PauseTask(1));
    EXPECT_EQ("Init;CreateTask 1;StartTask 1", Log());
}

TEST_F(RecordedEngineTest, NoTaskFromTheEngineIsNoSuccess) {
    Install(KORVANE_RECORDER_FULL);
    Export<SetCreateFailsFn>(recorder_, "Recorder_SetCreateFails")(TRUE);
    EXPECT_FALSE(Create(1, L"a.GHO"));
    EXPECT_EQ(0, library_->PauseTask(1));
    EXPECT_EQ("Init;CreateTask 0", Log());
}

TEST_F(RecordedEngineTest, MissingNamesAnswerZeroWithoutACall) {
    Install(KORVANE_RECORDER_PARTIAL);
    EXPECT_TRUE(Create(1, L"a.GHO"));
    EXPECT_EQ(0, library_->PauseTask(1));
    EXPECT_EQ(0, library_->ResumeTask(1));
    EXPECT_EQ(0, library_->StopAndDeleteTask(1));
    TaskInfoRecord info;
    library_->QueryTask(1, &info);
    EXPECT_EQ(xldl::kStateStopped, info.State());
    EXPECT_EQ(0, library_->ApplySpeedLimit(L"512"));
    EXPECT_EQ("Init;CreateTask 1", Log());
}

TEST_F(RecordedEngineTest, LibraryWithoutInitCreatesNoTask) {
    Install(KORVANE_RECORDER_NO_INIT);
    EXPECT_FALSE(Create(1, L"a.GHO"));
    EXPECT_FALSE(Create(2, L"a.GHO"));
    EXPECT_TRUE(library_->IsLoaded());
    EXPECT_EQ("", Log());
}

TEST_F(RecordedEngineTest, FailedLoadTellsTheUserAndIsTriedAgainNextTime) {
    EXPECT_FALSE(library_->InitDownloadLibrary());
    EXPECT_FALSE(Create(1, L"a.GHO"));
    EXPECT_FALSE(library_->IsLoaded());
    ASSERT_EQ(2u, prompt_.asked.size());
    EXPECT_EQ(L"can not load xldl.dll", prompt_.asked[0].text);
    EXPECT_EQ(L"信息提示", prompt_.asked[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR), prompt_.asked[0].type);
    EXPECT_EQ(0, library_->PauseTask(1));

    // The engine files were written meanwhile: the next request loads them.
    Install(KORVANE_RECORDER_FULL);
    EXPECT_TRUE(Create(2, L"b.GHO"));
    EXPECT_NE(0, library_->PauseTask(2));
    EXPECT_EQ(2u, prompt_.asked.size());
    EXPECT_EQ("Init;CreateTask 1;StartTask 1;StopTask 1", Log());
}

TEST_F(RecordedEngineTest, LoadedLibraryIsNotLoadedAgain) {
    Install(KORVANE_RECORDER_FULL);
    EXPECT_TRUE(library_->InitDownloadLibrary());
    EXPECT_TRUE(library_->InitDownloadLibrary());
    EXPECT_TRUE(Create(1, L"a.GHO"));
    EXPECT_EQ("Init;CreateTask 1;StartTask 1", Log());
}

TEST(DownloadLibraryWithoutFolder, NeverLoadsFromTheDriveRoot) {
    RecordingPrompt prompt;
    DownloadLibrary library(L"", prompt);
    EXPECT_FALSE(library.CreateAndStartTask(1, L"http://h/a.GHO", L"a.GHO", L"D:\\QMZ"));
    EXPECT_FALSE(library.IsLoaded());
    ASSERT_EQ(1u, prompt.asked.size());
    EXPECT_EQ(L"can not load xldl.dll", prompt.asked[0].text);
}

}  // namespace
}  // namespace korvane

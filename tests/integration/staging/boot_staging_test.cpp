// The one-time boot entry on a boot-manager Windows (stand-in editor and store) and on XP
// (boot.ini), and its undo.
#include "staging/boot_staging.h"

#include "staging/boot_commands.h"
#include "staging_fixture.h"

namespace korvane {
namespace {

using testing::FileExists;
using testing::ReadFileBytes;
using testing::RecordingRunner;
using testing::StagingTest;
using testing::WriteFileBytes;

class BcdStagingTest : public StagingTest {};

TEST_F(BcdStagingTest, RunsTheEightEditorCommandsAndMakesTheEntryTheDefault) {
    RecordingRunner runner;
    BootStaging staging(L"C:", appData, runner);
    ASSERT_TRUE(WriteFileBytes(L"C:\\Ghost.ba_", "batch"));

    EXPECT_TRUE(staging.StageBootEntry(L"Korvane一键备份", L"Korvane一键备份"));

    EXPECT_EQ(runner.commands, StageEditorCommands(appData, L"Korvane一键备份"));
    for (size_t i = 0; i < runner.results.size(); ++i) {
        EXPECT_EQ(runner.results[i].exitCode, 0u) << "command " << i;
    }
    EXPECT_TRUE(StoreHas("[" + Entry() + "]"));
    EXPECT_TRUE(StoreHas("default=" + Entry()));
    EXPECT_TRUE(StoreHas("timeout=3"));
    EXPECT_TRUE(StoreHas("displayorder={current} " + Entry()));
    EXPECT_TRUE(StoreHas("description=Korvane一键备份"));
    EXPECT_TRUE(StoreHas("path=\\krldr.mbr"));
    EXPECT_TRUE(StoreHas("device=boot"));
    EXPECT_EQ(ReadFileBytes(testing::kStoreBackup), testing::kInitialStore);
    EXPECT_TRUE(LoaderFilesAt(L"C:\\"));
    EXPECT_TRUE(FileExists(appData + L"\\bcdedit.exe"));
}

TEST_F(BcdStagingTest, UndoReturnsTheStoreToItsStateBeforeStaging) {
    RecordingRunner runner;
    BootStaging staging(L"C:", appData, runner);
    ASSERT_TRUE(WriteFileBytes(L"C:\\Ghost.ba_", "batch"));
    ASSERT_TRUE(staging.StageBootEntry(L"Korvane一键还原", L"Korvane一键还原"));
    runner.commands.clear();
    runner.results.clear();

    staging.UnstageBootEntry();

    EXPECT_EQ(runner.commands, UnstageEditorCommands(appData));
    // The import brings back the saved store, which has no entry: the delete then fails.
    EXPECT_EQ(runner.results.at(0).exitCode, 0u);
    EXPECT_NE(runner.results.at(1).exitCode, 0u);
    EXPECT_EQ(Store(), testing::kInitialStore);
    EXPECT_TRUE(NothingStagedAt(L"C:\\"));
}

TEST_F(BcdStagingTest, StagingTwiceLeavesOneEntryAndTheLoaderFilesInPlace) {
    RecordingRunner runner;
    BootStaging staging(L"C:", appData, runner);
    ASSERT_TRUE(WriteFileBytes(L"C:\\Ghost.ba_", "batch"));
    ASSERT_TRUE(staging.StageBootEntry(L"Korvane一键备份", L"Korvane一键备份"));
    std::string loader = ReadFileBytes(L"C:\\krldr");

    EXPECT_TRUE(staging.StageBootEntry(L"Korvane一键备份", L"Korvane一键备份"))
        << "the create fails over the earlier entry; the entry is still the default";

    std::string store = Store();
    EXPECT_EQ(store.find("[" + Entry() + "]"), store.rfind("[" + Entry() + "]"));
    EXPECT_TRUE(StoreHas("default=" + Entry()));
    EXPECT_TRUE(StoreHas("displayorder={current} " + Entry()));
    EXPECT_EQ(ReadFileBytes(L"C:\\krldr"), loader);
    EXPECT_TRUE(LoaderFilesAt(L"C:\\"));
}

TEST_F(BcdStagingTest, AStoreTheEditorCannotChangeIsAFailedStaging) {
    RecordingRunner runner;
    BootStaging staging(L"C:", appData, runner);
    ASSERT_TRUE(WriteFileBytes(L"C:\\Ghost.ba_", "batch"));
    testing::RemoveFile(testing::kStore);
    EXPECT_FALSE(staging.StageBootEntry(L"Korvane一键备份", L"Korvane一键备份"));
}

TEST_F(BcdStagingTest, MissingBatchIsAFailedStaging) {
    RecordingRunner runner;
    BootStaging staging(L"C:", appData, runner);
    EXPECT_FALSE(staging.StageBootEntry(L"Korvane一键备份", L"Korvane一键备份"));
}

class XpStagingTest : public StagingTest {
  protected:
    static std::wstring Profile(const std::wstring& file, const wchar_t* section,
                                const std::wstring& key) {
        wchar_t value[256] = {};
        GetPrivateProfileStringW(section, key.c_str(), L"", value, 256, file.c_str());
        return value;
    }

    void StageAndCheckBootIni(const std::wstring& drive) {
        std::wstring root(drive);
        root.push_back(L'\\');
        ASSERT_TRUE(WriteFileBytes(root + L"boot.ini", testing::kXpBootIni));
        SetFileAttributesW((root + L"boot.ini").c_str(),
                           FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        ASSERT_TRUE(WriteFileBytes(root + L"Ghost.ba_", "batch"));
        RecordingRunner runner;
        BootStaging staging(drive, appData, runner);

        EXPECT_TRUE(staging.StageBootEntry(L"Korvane一键备份", L"Korvane一键备份"));

        EXPECT_TRUE(runner.commands.empty()) << "XP has no boot configuration editor";
        const std::wstring bootIni = root + L"boot.ini";
        EXPECT_EQ(Profile(bootIni, L"operating systems", drive + L"\\krldr.mbr"),
                  L"Korvane一键备份");
        EXPECT_EQ(Profile(bootIni, L"boot loader", L"default"), drive + L"\\krldr.mbr");
        EXPECT_EQ(Profile(bootIni, L"boot loader", L"timeout"), L"3");
        EXPECT_EQ(
            GetFileAttributesW(bootIni.c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
            static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
        EXPECT_EQ(ReadFileBytes(root + L"boot.in_"), testing::kXpBootIni);
        EXPECT_TRUE(LoaderFilesAt(root));

        staging.UnstageBootEntry();
        EXPECT_EQ(ReadFileBytes(bootIni), testing::kXpBootIni);
        EXPECT_TRUE(NothingStagedAt(root));
    }
};

TEST_F(XpStagingTest, EditsBootIniOnTheSystemDriveAndUndoesIt) {
    StageAndCheckBootIni(L"C:");
    EXPECT_EQ(Store(), testing::kInitialStore) << "the boot store is not touched on XP";
}

TEST_F(XpStagingTest, EveryPathUsesASystemDriveOtherThanC) {
    StageAndCheckBootIni(L"S:");
    EXPECT_FALSE(FileExists(L"C:\\boot.ini"));
    EXPECT_FALSE(FileExists(L"C:\\krldr.mbr"));
}

}  // namespace
}  // namespace korvane

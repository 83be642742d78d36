// The one-time boot entry on a boot-manager Windows (stand-in editor and store) and on XP
// (boot.ini), and its undo.
#include "staging/boot_staging.h"

#include <functional>

#include "staging/boot_commands.h"
#include "staging/staging_resources.h"
#include "staging_fixture.h"
#include "sysutil/resource_file.h"

namespace korvane {
namespace {

using test::FileExists;
using test::ReadFileBytes;
using test::RecordingRunner;
using test::StagingTest;
using test::WriteFileBytes;

class BcdStagingTest : public StagingTest {};

// Runs commands for real, except that the ones a test names fail without running.
class FailingRunner : public RecordingRunner {
  public:
    explicit FailingRunner(std::vector<std::wstring> failing) : failing_(std::move(failing)) {}
    HiddenCommandResult Run(const std::wstring& commandLine) override {
        for (const std::wstring& part : failing_) {
            if (commandLine.find(part) != std::wstring::npos) {
                commands.push_back(commandLine);
                HiddenCommandResult failed;
                failed.started = failed.exited = true;
                failed.exitCode = 1;
                results.push_back(failed);
                return failed;
            }
        }
        return RecordingRunner::Run(commandLine);
    }

  private:
    std::vector<std::wstring> failing_;
};

// The loader files at a root hold exactly what the program carries.
void ExpectCarriedPayloadAt(const std::wstring& root) {
    const std::pair<const wchar_t*, WORD> files[] = {{L"krldr", kLoaderResource},
                                                     {L"krldr.mbr", kBootSectorResource},
                                                     {L"krldr.ima", kFloppyImageResource}};
    for (const auto& [name, id] : files) {
        std::string_view carried = ResourceBytes(id, kStagingResourceType);
        ASSERT_FALSE(carried.empty());
        EXPECT_TRUE(ReadFileBytes(root + name) == carried) << test::Utf8(root + name);
    }
}

TEST_F(BcdStagingTest, RunsTheEightEditorCommandsAndMakesTheEntryTheDefault) {
    RecordingRunner runner;
    BootStaging staging(L"C:", appData, runner);
    ASSERT_TRUE(WriteFileBytes(L"C:\\Ghost.ba_", "batch"));

    EXPECT_TRUE(staging.StageBootEntry(L"Korvane一键备份", L"Korvane一键备份"));

    EXPECT_EQ(runner.commands.size(), 8u);
    for (size_t i = 0; i < runner.results.size(); ++i) {
        EXPECT_EQ(runner.results[i].exitCode, 0u) << "command " << i;
    }
    EXPECT_TRUE(StoreHas(EntrySection()));
    EXPECT_TRUE(StoreHas("default=" + Entry()));
    EXPECT_TRUE(StoreHas("timeout=3"));
    EXPECT_TRUE(StoreHas("displayorder={current} " + Entry()));
    EXPECT_TRUE(StoreHas("description=Korvane一键备份"));
    EXPECT_TRUE(StoreHas("path=\\krldr.mbr"));
    EXPECT_TRUE(StoreHas("device=boot"));
    EXPECT_EQ(ReadFileBytes(test::kStoreBackup), test::kInitialStore);
    EXPECT_TRUE(LoaderFilesAt(L"C:\\"));
    ExpectCarriedPayloadAt(L"C:\\");
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

    EXPECT_EQ(runner.commands, UnstageEditorCommands(appData, true));
    // The import brings back the saved store, which has no entry: the delete then fails.
    EXPECT_EQ(runner.results.at(0).exitCode, 0u);
    EXPECT_NE(runner.results.at(1).exitCode, 0u);
    EXPECT_EQ(Store(), test::kInitialStore);
    EXPECT_TRUE(NothingStagedAt(L"C:\\"));
}

TEST_F(BcdStagingTest, StagingTwiceLeavesOneEntryAndTheLoaderFilesInPlace) {
    RecordingRunner runner;
    BootStaging staging(L"C:", appData, runner);
    ASSERT_TRUE(WriteFileBytes(L"C:\\Ghost.ba_", "batch"));
    ASSERT_TRUE(staging.StageBootEntry(L"Korvane一键备份", L"Korvane一键备份"));

    EXPECT_TRUE(staging.StageBootEntry(L"Korvane一键备份", L"Korvane一键备份"))
        << "the create fails over the earlier entry; the entry is still the default";

    std::string store = Store();
    EXPECT_EQ(store.find(EntrySection()), store.rfind(EntrySection()));
    EXPECT_TRUE(StoreHas("default=" + Entry()));
    EXPECT_TRUE(StoreHas("displayorder={current} " + Entry()));
    ExpectCarriedPayloadAt(L"C:\\");
    EXPECT_TRUE(LoaderFilesAt(L"C:\\"));
}

TEST_F(BcdStagingTest, AStoreTheEditorCannotChangeIsAFailedStaging) {
    RecordingRunner runner;
    BootStaging staging(L"C:", appData, runner);
    ASSERT_TRUE(WriteFileBytes(L"C:\\Ghost.ba_", "batch"));
    test::RemoveFile(test::kStore);
    EXPECT_FALSE(staging.StageBootEntry(L"Korvane一键备份", L"Korvane一键备份"));
}

TEST_F(BcdStagingTest, MissingBatchIsAFailedStaging) {
    RecordingRunner runner;
    BootStaging staging(L"C:", appData, runner);
    EXPECT_FALSE(staging.StageBootEntry(L"Korvane一键备份", L"Korvane一键备份"));
}

TEST_F(BcdStagingTest, EachCommandTheEntryNeedsFailingAloneFailsTheStaging) {
    ASSERT_TRUE(WriteFileBytes(L"C:\\Ghost.ba_", "batch"));
    const std::wstring e = kBootEntryId;
    const std::wstring required[] = {L"/export ", L"/set " + e + L" device",
                                     L"/set " + e + L" path", L"/default "};
    for (const std::wstring& command : required) {
        SCOPED_TRACE(test::Utf8(command));
        ASSERT_TRUE(WriteFileBytes(test::kStore, test::kInitialStore));
        FailingRunner runner({command});
        BootStaging staging(L"C:", appData, runner);
        EXPECT_FALSE(staging.StageBootEntry(L"Korvane一键备份", L"Korvane一键备份"));
        EXPECT_EQ(runner.commands.size(), 8u) << "the later commands still run";
    }
    // The description, the menu order and the timeout only dress the entry.
    for (const wchar_t* command : {L" description ", L"/displayorder ", L"/timeout "}) {
        SCOPED_TRACE(test::Utf8(command));
        ASSERT_TRUE(WriteFileBytes(test::kStore, test::kInitialStore));
        FailingRunner runner({command});
        BootStaging staging(L"C:", appData, runner);
        EXPECT_TRUE(staging.StageBootEntry(L"Korvane一键备份", L"Korvane一键备份"));
    }
}

TEST_F(BcdStagingTest, UndoAfterAFailedExportImportsNoStoreOfAnEarlierDay) {
    const std::string earlierStore = "[{bootmgr}]\r\ndefault={old}\r\n[{old}]\r\n";
    ASSERT_TRUE(WriteFileBytes(test::kStoreBackup, earlierStore));
    ASSERT_TRUE(WriteFileBytes(L"C:\\Ghost.ba_", "batch"));
    FailingRunner runner({L"/export "});
    BootStaging staging(L"C:", appData, runner);
    ASSERT_FALSE(staging.StageBootEntry(L"Korvane一键备份", L"Korvane一键备份"));
    runner.commands.clear();

    staging.UnstageBootEntry();

    EXPECT_EQ(runner.commands, UnstageEditorCommands(appData, false));
    EXPECT_NE(Store(), earlierStore);
    EXPECT_FALSE(StoreHas(EntrySection())) << "the entry of this run is deleted";
    EXPECT_TRUE(StoreHas("[{current}]"));
    EXPECT_EQ(ReadFileBytes(test::kStoreBackup), earlierStore);
}

TEST_F(BcdStagingTest, NothingIsWrittenWithoutAnApplicationDataFolder) {
    ASSERT_TRUE(WriteFileBytes(L"C:\\Ghost.ba_", "batch"));
    RecordingRunner runner;
    BootStaging staging(L"C:", L"", runner);
    EXPECT_FALSE(staging.StageBootEntry(L"Korvane一键备份", L"Korvane一键备份"));
    staging.UnstageBootEntry();
    EXPECT_TRUE(runner.commands.empty());
    EXPECT_FALSE(FileExists(L"C:\\krldr"));
    EXPECT_FALSE(FileExists(L"C:\\bcdedit.exe"));
    EXPECT_EQ(Store(), test::kInitialStore);
}

TEST_F(BcdStagingTest, LoaderFilesGoToTheFirstVolumeTooAndUndoRemovesThem) {
    const std::wstring firstVolume = L"C:\\KorvaneFirstVolume\\";
    CreateDirectoryW(firstVolume.c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(L"C:\\Ghost.ba_", "batch"));
    RecordingRunner runner;
    BootStaging staging(L"C:", appData, runner, firstVolume);

    ASSERT_TRUE(staging.StageBootEntry(L"Korvane一键备份", L"Korvane一键备份"));
    EXPECT_TRUE(LoaderFilesAt(firstVolume));
    ExpectCarriedPayloadAt(firstVolume);

    staging.UnstageBootEntry();
    EXPECT_TRUE(NothingStagedAt(firstVolume));
    EXPECT_TRUE(NothingStagedAt(L"C:\\"));
    RemoveDirectoryW(firstVolume.c_str());
}

// User folders holding characters cmd treats specially: the editor must still be found and
// get its arguments, through Wine's own cmd.
TEST_F(BcdStagingTest, DataFoldersWithCmdSpecialCharactersReachTheEditor) {
    const std::wstring parent = L"C:\\KorvaneUsers";
    CreateDirectoryW(parent.c_str(), nullptr);
    for (const wchar_t* name :
         {L"Tom & Jerry", L"a^b", L"(x) y", L"100%", L"x%OS%y%windir%", L"a,b;c=d", L"Li!Lei"}) {
        SCOPED_TRACE(test::Utf8(name));
        const std::wstring folder = parent + L"\\" + name;
        CreateDirectoryW(folder.c_str(), nullptr);
        ASSERT_TRUE(WriteFileBytes(test::kStore, test::kInitialStore));
        ASSERT_TRUE(WriteFileBytes(L"C:\\Ghost.ba_", "batch"));  // the undo removes it
        RecordingRunner runner;
        BootStaging staging(L"C:", folder, runner);

        EXPECT_TRUE(staging.StageBootEntry(L"Korvane一键备份", L"Korvane一键备份"));
        for (size_t i = 0; i < runner.results.size(); ++i) {
            EXPECT_EQ(runner.results[i].exitCode, 0u) << "command " << i;
        }
        EXPECT_TRUE(StoreHas("default=" + Entry()));
        EXPECT_TRUE(StoreHas("timeout=3"));
        staging.UnstageBootEntry();
        EXPECT_EQ(Store(), test::kInitialStore);
        test::RemoveFile(folder + L"\\bcdedit.exe");
        RemoveDirectoryW(folder.c_str());
    }
    RemoveDirectoryW(parent.c_str());
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
        ASSERT_TRUE(WriteFileBytes(root + L"boot.ini", test::kXpBootIni));
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
        EXPECT_EQ(ReadFileBytes(root + L"boot.in_"), test::kXpBootIni);
        EXPECT_TRUE(LoaderFilesAt(root));

        staging.UnstageBootEntry();
        EXPECT_EQ(ReadFileBytes(bootIni), test::kXpBootIni);
        EXPECT_TRUE(NothingStagedAt(root));
    }
};

TEST_F(XpStagingTest, EditsBootIniOnTheSystemDriveAndUndoesIt) {
    StageAndCheckBootIni(L"C:");
    EXPECT_EQ(Store(), test::kInitialStore) << "the boot store is not touched on XP";
}

// boot.ini is ANSI: text the code page cannot hold is stored as "?" and still boots.
TEST_F(XpStagingTest, EntryTextOutsideTheCodePageStillCountsAsStaged) {
    ASSERT_TRUE(WriteFileBytes(L"C:\\boot.ini", test::kXpBootIni));
    ASSERT_TRUE(WriteFileBytes(L"C:\\Ghost.ba_", "batch"));
    RecordingRunner runner;
    BootStaging staging(L"C:", appData, runner);
    EXPECT_TRUE(staging.StageBootEntry(L"Korvane一键备份", L"Korvane\u0e01\u0e02"));
    EXPECT_NE(ReadFileBytes(L"C:\\boot.ini").find("C:\\krldr.mbr=Korvane??\r\n"),
              std::string::npos);
}

TEST_F(XpStagingTest, UndoPutsBootIniBackOnTheFirstVolumeToo) {
    const std::wstring firstVolume = L"C:\\KorvaneFirstVolume\\";
    CreateDirectoryW(firstVolume.c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(firstVolume + L"boot.in_", test::kXpBootIni));
    ASSERT_TRUE(WriteFileBytes(firstVolume + L"boot.ini", "[boot loader]\r\ndefault=x\r\n"));
    ASSERT_TRUE(WriteFileBytes(L"C:\\boot.ini", test::kXpBootIni));
    ASSERT_TRUE(WriteFileBytes(L"C:\\Ghost.ba_", "batch"));
    RecordingRunner runner;
    BootStaging staging(L"C:", appData, runner, firstVolume);
    ASSERT_TRUE(staging.StageBootEntry(L"Korvane一键备份", L"Korvane一键备份"));
    EXPECT_TRUE(LoaderFilesAt(firstVolume));

    staging.UnstageBootEntry();
    EXPECT_EQ(ReadFileBytes(firstVolume + L"boot.ini"), test::kXpBootIni);
    EXPECT_EQ(ReadFileBytes(L"C:\\boot.ini"), test::kXpBootIni);
    EXPECT_TRUE(NothingStagedAt(firstVolume));
    for (const wchar_t* name : {L"boot.ini", L"boot.in_"}) {
        test::RemoveFile(firstVolume + name);
    }
    RemoveDirectoryW(firstVolume.c_str());
}

TEST_F(XpStagingTest, EveryPathUsesASystemDriveOtherThanC) {
    StageAndCheckBootIni(L"S:");
    EXPECT_FALSE(FileExists(L"C:\\boot.ini"));
    EXPECT_FALSE(FileExists(L"C:\\krldr.mbr"));
}

}  // namespace
}  // namespace korvane

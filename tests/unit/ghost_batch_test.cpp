// The Ghost batch byte for byte, and the rules of the boot editor command lines.
#include <gtest/gtest.h>

#include "staging/boot_commands.h"
#include "staging/ghost_batch.h"

namespace korvane {
namespace {

TEST(GhostBatch, BackupOfSystemPartitionIntoImageOnAnotherPartition) {
    std::wstring text =
        BuildBackupBatch(L"1:2", L"1:3", ImagePathRemainder(L"D:\\QMZSysBak\\SYSBAK.GHO"));
    EXPECT_EQ(text,
              L"@echo off\r\n"
              L"Ghost.exe -noide -nousb -clone,mode=pdump,src=\"1:2\","
              L"dst=\"1:3\\QMZSysBak\\SYSBAK.GHO\" -fro -crcignore -sure -rb "
              L"-afile=\"GHOSTERR.TXT\"\r\n"
              L"restart");
}

TEST(GhostBatch, RestoreLoadsPartitionOneOfTheImage) {
    std::wstring text =
        BuildRestoreBatch(L"1:2", L"1:3", ImagePathRemainder(L"D:\\QMZSysBak\\SYSBAK.GHO"));
    EXPECT_EQ(text,
              L"@echo off\r\n"
              L"Ghost.exe -noide -nousb -clone,mode=pload,"
              L"src=\"1:3\\QMZSysBak\\SYSBAK.GHO:1\",dst=\"1:2\" -sure -fx -fro\r\n"
              L"restart");
}

TEST(GhostBatch, RemainderKeepsAtMost256CharactersAfterTheDrive) {
    std::wstring longPath = L"D:\\" + std::wstring(300, L'a') + L".GHO";
    std::wstring remainder = ImagePathRemainder(longPath);
    ASSERT_EQ(remainder.size(), 256u);
    EXPECT_EQ(remainder, longPath.substr(2, 256));

    std::wstring exact = L"D:" + std::wstring(256, L'b');
    EXPECT_EQ(ImagePathRemainder(exact), exact.substr(2));
    EXPECT_EQ(ImagePathRemainder(L"D:"), L"");
    EXPECT_EQ(ImagePathRemainder(L""), L"");
}

// What the staging relies on: the store is saved before anything changes it, the entry
// becomes the default only once it is complete, and exactly the commands without which the
// entry cannot boot or remove itself decide whether the machine is staged.
TEST(BootCommands, ExportFirstDefaultLastAndWhatStagingDependsOn) {
    const std::wstring app = L"C:\\Users\\li\\AppData\\Roaming\\QMZXT";
    const std::vector<EditorStep> steps = StageEditorCommands(app, L"Korvane一键备份");
    ASSERT_EQ(steps.size(), 8u);
    auto has = [](const EditorStep& step, const wchar_t* text) {
        return step.command.find(text) != std::wstring::npos;
    };
    EXPECT_TRUE(has(steps.front(), L" /export \\\\?\\HarddiskVolume1\\Boot\\BCD_"));
    EXPECT_TRUE(has(steps.back(), L" /default {acf98c95-1214-11e4-88da-005056c16579}"));

    std::vector<std::wstring> required;
    for (const EditorStep& step : steps) {
        EXPECT_EQ(step.command.rfind(L"cmd.exe /c " + app + L"\\bcdedit.exe /", 0), 0u)
            << "every command runs our editor from the data folder";
        if (step.required) {
            required.push_back(step.command.substr(step.command.find(L"bcdedit.exe ") + 12));
        }
    }
    const std::wstring e = kBootEntryId;
    EXPECT_EQ(required,
              (std::vector<std::wstring>{L"/export \\\\?\\HarddiskVolume1\\Boot\\BCD_",
                                         L"/set " + e + L" device boot",
                                         L"/set " + e + L" path \\krldr.mbr", L"/default " + e}));
}

TEST(BootCommands, UndoImportsOnlyAStoreThisRunSaved) {
    const std::wstring app = L"C:\\QMZXT";
    std::vector<std::wstring> withStore = UnstageEditorCommands(app, true);
    ASSERT_EQ(withStore.size(), 2u);
    EXPECT_EQ(withStore[0],
              L"cmd.exe /c C:\\QMZXT\\bcdedit.exe /import "
              L"\\\\?\\HarddiskVolume1\\Boot\\BCD_");
    EXPECT_EQ(withStore[1],
              L"cmd.exe /c C:\\QMZXT\\bcdedit.exe /delete " + std::wstring(kBootEntryId));
    EXPECT_EQ(UnstageEditorCommands(app, false), std::vector<std::wstring>{withStore[1]});
}

TEST(BootCommands, FoldersCmdWouldSplitOrExpandAreQuoted) {
    // cmd /c strips the outermost quotes of the line, so the whole line is wrapped once
    // more; without quotes "C:\Users\Li" would be taken as the program.
    EXPECT_EQ(EditorCommand(L"C:\\Users\\Li Lei\\AppData\\Roaming\\QMZXT", L"/timeout 3 "),
              L"cmd.exe /c \"\"C:\\Users\\Li Lei\\AppData\\Roaming\\QMZXT\\bcdedit.exe\" "
              L"/timeout 3 \"");
    for (const wchar_t* folder : {L"C:\\Tom&Jerry", L"C:\\a^b", L"C:\\(x)", L"C:\\a,b"}) {
        EXPECT_EQ(EditorCommand(folder, L"/timeout 3 "),
                  L"cmd.exe /c \"\"" + std::wstring(folder) + L"\\bcdedit.exe\" /timeout 3 \"");
    }
    // A quote pair after each % keeps "%OS%" from being read as a variable.
    EXPECT_EQ(EditorCommand(L"C:\\x%OS%y", L"/timeout 3 "),
              L"cmd.exe /c \"\"C:\\x%\"\"OS%\"\"y\\bcdedit.exe\" /timeout 3 \"");
    EXPECT_EQ(EditorCommand(L"C:\\QMZXT", L"/timeout 3 "),
              L"cmd.exe /c C:\\QMZXT\\bcdedit.exe /timeout 3 ");
    // The probe's redirection keeps the exact form for a plain folder.
    EXPECT_EQ(CmdCommand(L"C:\\QMZXT\\krxtmbr.cmd", L">" + CmdQuoted(L"C:\\QMZXT\\KRXT.txt")),
              L"cmd.exe /c C:\\QMZXT\\krxtmbr.cmd>\"C:\\QMZXT\\KRXT.txt\"");
    EXPECT_EQ(CmdCommand(L"C:\\Li Lei\\krxtmbr.cmd", L">" + CmdQuoted(L"C:\\Li Lei\\KRXT.txt")),
              L"cmd.exe /c \"\"C:\\Li Lei\\krxtmbr.cmd\">\"C:\\Li Lei\\KRXT.txt\"\"");
}

}  // namespace
}  // namespace korvane

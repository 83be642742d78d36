// The Ghost batch and the boot editor command lines, byte for byte.
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

TEST(BootCommands, EightStagingCommandsInOrder) {
    const std::wstring app = L"C:\\Users\\li\\AppData\\Roaming\\QMZXT";
    const std::wstring pre = L"cmd.exe /c " + app + L"\\bcdedit.exe ";
    const std::wstring e = L"{acf98c95-1214-11e4-88da-005056c16579}";
    std::vector<std::wstring> expected = {
        pre + L"/export \\\\?\\HarddiskVolume1\\Boot\\BCD_",
        pre + L"/create " + e + L" /d \"Korvane一键备份\" /application bootsector",
        pre + L"/set " + e + L" device boot",
        pre + L"/set " + e + L" path \\krldr.mbr",
        pre + L"/set " + e + L" description Korvane一键备份",
        pre + L"/displayorder " + e + L" /addlast",
        pre + L"/timeout 3 ",
        pre + L"/default " + e,
    };
    EXPECT_EQ(StageEditorCommands(app, L"Korvane一键备份"), expected);
    EXPECT_EQ(UnstageEditorCommands(app),
              (std::vector<std::wstring>{pre + L"/import \\\\?\\HarddiskVolume1\\Boot\\BCD_",
                                         pre + L"/delete " + e}));
}

TEST(BootCommands, FolderWithABlankIsQuotedForCmd) {
    // cmd /c strips the outermost quotes of the line, so the whole line is wrapped once
    // more; without quotes "C:\Users\Li" would be taken as the program.
    EXPECT_EQ(EditorCommand(L"C:\\Users\\Li Lei\\AppData\\Roaming\\QMZXT", L"/timeout 3 "),
              L"cmd.exe /c \"\"C:\\Users\\Li Lei\\AppData\\Roaming\\QMZXT\\bcdedit.exe\" "
              L"/timeout 3 \"");
}

}  // namespace
}  // namespace korvane

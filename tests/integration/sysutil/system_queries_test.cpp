// Version, path, text and drive questions, and resource extraction, on the real system.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

#include "staging/staging_resources.h"
#include "sysutil/drive_queries.h"
#include "sysutil/file_dialogs.h"
#include "sysutil/resource_file.h"
#include "sysutil/system_function.h"
#include "sysutil/system_info.h"
#include "sysutil/text_conversion.h"
#include "sysutil/unique_handle.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/scripted_prompt.h"
#include "tests/support/test_paths.h"

namespace korvane {
namespace {

std::wstring TempFolder() {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    return folder;
}

TEST(WindowsVersion, OnlyNtMajorVersionSixIsABootManagerSystem) {
    EXPECT_TRUE(IsNt6Version(VER_PLATFORM_WIN32_NT, 6)) << "Vista to 11 (8 and later report 6.2)";
    EXPECT_FALSE(IsNt6Version(VER_PLATFORM_WIN32_NT, 5)) << "XP 5.1, Server 2003 5.2";
    EXPECT_FALSE(IsNt6Version(VER_PLATFORM_WIN32_NT, 10)) << "a manifest naming Windows 10";
    EXPECT_FALSE(IsNt6Version(VER_PLATFORM_WIN32_NT, 7));
    EXPECT_FALSE(IsNt6Version(VER_PLATFORM_WIN32_WINDOWS, 4)) << "Windows 9x";
    EXPECT_FALSE(IsNt6Version(VER_PLATFORM_WIN32_WINDOWS, 6)) << "the platform counts too";
}

TEST(Text, NonAsciiStartsAtNoBreakSpace) {
    EXPECT_TRUE(ContainsNonAsciiChar(L"D:\\caf\u00e9.GHO"));
    EXPECT_TRUE(ContainsNonAsciiChar(L"D:\\\u00a0.GHO"));
    EXPECT_TRUE(ContainsNonAsciiChar(L"D:\\系统.GHO"));
    EXPECT_FALSE(ContainsNonAsciiChar(L"D:\\x\u009f\u0080.GHO"));
    EXPECT_FALSE(ContainsNonAsciiChar(L""));
}

TEST(Text, ChineseSurvivesTheAnsiCodePage) {
    ASSERT_EQ(GetACP(), 936u) << "the tests run in the Chinese locale our users have";
    std::string ansi = WideToAnsi(L"D:\\系统备份\\a.GHO");
    EXPECT_EQ(ansi, "D:\\\xcf\xb5\xcd\xb3\xb1\xb8\xb7\xdd\\a.GHO");
    EXPECT_EQ(AnsiToWide(ansi), L"D:\\系统备份\\a.GHO");
    EXPECT_EQ(AnsiToWide(""), L"");
    EXPECT_EQ(WideToAnsi(L""), "");
}

// The program finds some functions at run time: in a DLL already loaded, or in one it loads
// only when first needed (the file dialogs' comdlg32). Missing ones are null, never a crash.
TEST(SystemFunctions, FoundWhereTheyExistAndNullWhereNot) {
    using OpenFn = BOOL(WINAPI*)(OPENFILENAMEW*);
    EXPECT_EQ(GetModuleHandleW(L"comdlg32.dll"), nullptr) << "the tests never import it";
    EXPECT_NE(LoadedSystemFunction<OpenFn>(L"comdlg32.dll", "GetOpenFileNameW"), nullptr);
    EXPECT_NE(GetModuleHandleW(L"comdlg32.dll"), nullptr) << "loaded by the call, and kept";
    EXPECT_EQ(LoadedSystemFunction<OpenFn>(L"comdlg32.dll", "NoSuchFunctionW"), nullptr);
    EXPECT_EQ(LoadedSystemFunction<OpenFn>(L"no_such_library.dll", "GetOpenFileNameW"), nullptr);

    using TickFn = DWORD(WINAPI*)();
    TickFn tick = SystemFunction<TickFn>(L"kernel32.dll", "GetTickCount");
    ASSERT_NE(tick, nullptr);
    EXPECT_NE(tick(), 0u);
    EXPECT_EQ(SystemFunction<TickFn>(L"kernel32.dll", "NoSuchFunction"), nullptr);
    EXPECT_EQ(SystemFunction<TickFn>(L"no_such_library.dll", "GetTickCount"), nullptr);
    EXPECT_EQ(GetModuleHandleW(L"no_such_library.dll"), nullptr);
}

TEST(Paths, FilesAndFoldersExist) {
    std::wstring folder = TempFolder() + L"korvane-exists-测试";
    CreateDirectoryW(folder.c_str(), nullptr);
    EXPECT_TRUE(PathExists(folder));
    EXPECT_TRUE(PathExists(folder + L"\\"));
    EXPECT_TRUE(test::WriteFileBytes(folder + L"\\a.GHO", "x"));
    EXPECT_TRUE(PathExists(folder + L"\\a.GHO"));
    EXPECT_FALSE(PathExists(folder + L"\\b.GHO"));
    EXPECT_TRUE(PathExists(L"C:\\"));
    test::RemoveFile(folder + L"\\a.GHO");
    RemoveDirectoryW(folder.c_str());
    EXPECT_EQ(GetSystemDrive(), L"C:");
    EXPECT_NE(GetApplicationDataFolder().find(L"\\QMZXT"), std::wstring::npos);
}

TEST(Drives, GhostDesignatorOfTheSystemVolume) {
    // Wine answers device 0, partition 1 for its C: drive.
    EXPECT_EQ(GetGhostPartitionId(L"C:"), L"1:1");
    EXPECT_EQ(GetGhostPartitionId(L"Q:"), L"") << "a volume that cannot be opened has none";
    EXPECT_FALSE(IsUsbDrive(L"C:"));
    EXPECT_FALSE(IsUsbDrive(L"Q:"));
}

// The facts the image jobs check before staging, as this machine answers them.
TEST(Drives, PreflightFactsOfThisMachine) {
    unsigned char sector[512] = {0xEB, 0x58, 0x90};
    memcpy(sector + 3, "NTFS    ", 8);
    EXPECT_FALSE(BootSectorShowsBitLocker(sector, sizeof(sector)));
    memcpy(sector + 3, "-FVE-FS-", 8);
    EXPECT_TRUE(BootSectorShowsBitLocker(sector, sizeof(sector)));
    EXPECT_FALSE(BootSectorShowsBitLocker(sector, 10)) << "a short read shows nothing";
    memcpy(sector + 3, "-FVE-FS ", 8);
    EXPECT_FALSE(BootSectorShowsBitLocker(sector, sizeof(sector)));
    EXPECT_FALSE(IsBitLockerVolume(L"C:"));
    EXPECT_FALSE(IsBitLockerVolume(L"Q:")) << "a volume that cannot be read";

    std::uint64_t freeBytes = 0, usedBytes = 0;
    ASSERT_TRUE(GetVolumeSpace(L"C:", &freeBytes, &usedBytes));
    EXPECT_GT(freeBytes, 0u);
    EXPECT_FALSE(GetVolumeSpace(L"Q:", &freeBytes, &usedBytes));

    EXPECT_EQ(UnderlyingDrive(L"C:"), L"C:");
    EXPECT_EQ(UnderlyingDrive(L"D:"), L"D:");
    ASSERT_TRUE(DefineDosDeviceW(0, L"X:", L"C:\\windows"));
    EXPECT_EQ(UnderlyingDrive(L"X:"), L"C:") << "a substituted drive lives on its host";
    DefineDosDeviceW(DDD_REMOVE_DEFINITION, L"X:", nullptr);

    EXPECT_EQ(FirmwareFromVariableProbe(ERROR_INVALID_FUNCTION), BootFirmware::kBios);
    EXPECT_EQ(FirmwareFromVariableProbe(ERROR_NOACCESS), BootFirmware::kUefi);
    EXPECT_EQ(FirmwareFromVariableProbe(ERROR_ENVVAR_NOT_FOUND), BootFirmware::kUefi);
    const BootFirmware firmware = GetBootFirmware();
    EXPECT_TRUE(firmware == BootFirmware::kBios || firmware == BootFirmware::kUefi ||
                firmware == BootFirmware::kUnknown);
    std::printf("this machine's firmware: %d\n", static_cast<int>(firmware));
}

// Every kind of owner gives its handle back once: at the end of its scope, on Reset, and
// never after Release or a move.
TEST(HandleOwners, GiveTheirHandleBackExactlyOnce) {
    auto isOpen = [](HANDLE h) {
        DWORD flags = 0;
        return GetHandleInformation(h, &flags) != FALSE;
    };
    HANDLE raw = nullptr;
    {
        UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        raw = event.Get();
        ASSERT_TRUE(isOpen(raw));
        UniqueHandle moved(std::move(event));
        EXPECT_FALSE(event.IsValid());
        EXPECT_EQ(moved.Get(), raw);
    }
    EXPECT_FALSE(isOpen(raw)) << "closed at the end of the scope";

    UniqueHandle kept(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    raw = kept.Release();
    EXPECT_FALSE(kept.IsValid());
    EXPECT_TRUE(isOpen(raw)) << "Release gives up without closing";
    kept.Reset(raw);
    kept.Reset();
    EXPECT_FALSE(isOpen(raw));
    EXPECT_FALSE(UniqueHandle(INVALID_HANDLE_VALUE).IsValid());

    UniqueRegion region(CreateRectRgn(0, 0, 10, 10));
    HRGN rawRegion = region.Get();
    region.Reset();
    EXPECT_EQ(GetObjectType(rawRegion), 0u) << "the region was deleted";

    UniqueRegistryKey key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, key.Receive()),
              ERROR_SUCCESS);
    EXPECT_TRUE(key.IsValid());
    UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    EXPECT_TRUE(dc.IsValid());
}

TEST(Drives, OnlyAnAnsweredQueryNamingUsbShowsAUsbDrive) {
    alignas(8) unsigned char buffer[1024] = {};
    auto* descriptor = reinterpret_cast<STORAGE_DEVICE_DESCRIPTOR*>(buffer);
    descriptor->BusType = BusTypeUsb;
    constexpr DWORD kThroughBusType = offsetof(STORAGE_DEVICE_DESCRIPTOR, BusType) + 4;
    EXPECT_TRUE(DescriptorShowsUsb(true, kThroughBusType, *descriptor));
    EXPECT_TRUE(DescriptorShowsUsb(true, sizeof(buffer), *descriptor));
    EXPECT_FALSE(DescriptorShowsUsb(false, sizeof(buffer), *descriptor)) << "a failed query";
    EXPECT_FALSE(DescriptorShowsUsb(true, kThroughBusType - 1, *descriptor)) << "cut short";
    EXPECT_FALSE(DescriptorShowsUsb(true, 0, *descriptor));

    descriptor->BusType = BusTypeAta;
    EXPECT_FALSE(DescriptorShowsUsb(true, sizeof(buffer), *descriptor));
    descriptor->BusType = BusTypeRAID;
    EXPECT_FALSE(DescriptorShowsUsb(true, sizeof(buffer), *descriptor));
}

class FakeDrives : public DriveSource {
  public:
    struct Drive {
        UINT type;
        bool usb;
        uint64_t free;
    };
    bool listed = true;
    std::vector<std::pair<std::wstring, Drive>> drives;

    bool ListRoots(std::vector<std::wstring>* roots) override {
        roots->clear();
        for (const auto& [root, drive] : drives) {
            roots->push_back(root);
        }
        return listed;
    }
    UINT DriveType(const std::wstring& root) override { return Find(root).type; }
    bool IsUsb(const std::wstring& drive) override { return Find(drive + L"\\").usb; }
    uint64_t FreeBytes(const std::wstring& root) override { return Find(root).free; }

  private:
    Drive Find(const std::wstring& root) {
        for (const auto& [r, drive] : drives) {
            if (r == root) {
                return drive;
            }
        }
        ADD_FAILURE() << "asked about an unknown drive";
        return {};
    }
};

constexpr uint64_t kGiB = 1ull << 30;

TEST(LargestDataDrive, FirstRootIsTakenAsItIsUnlessItIsA) {
    FakeDrives machine;
    // The first root is not tested for type or bus: a USB first drive is still taken.
    machine.drives = {{L"C:\\", {DRIVE_REMOVABLE, true, 10 * kGiB}},
                      {L"D:\\", {DRIVE_FIXED, false, 5 * kGiB}}};
    EXPECT_EQ(FindLargestDataDrive(machine), L"C:\\");

    machine.drives = {{L"a:\\", {DRIVE_REMOVABLE, false, 0}},
                      {L"C:\\", {DRIVE_FIXED, true, 50 * kGiB}},
                      {L"D:\\", {DRIVE_FIXED, true, 80 * kGiB}}};
    EXPECT_EQ(FindLargestDataDrive(machine), L"") << "A: first and every other drive USB";
}

TEST(LargestDataDrive, LaterDrivesMustBeFixedLocalAndStrictlyLarger) {
    FakeDrives machine;
    machine.drives = {{L"C:\\", {DRIVE_FIXED, false, 20 * kGiB}},
                      {L"D:\\", {DRIVE_REMOVABLE, false, 900 * kGiB}},
                      {L"E:\\", {DRIVE_FIXED, true, 800 * kGiB}},
                      {L"F:\\", {DRIVE_CDROM, false, 700 * kGiB}},
                      {L"G:\\", {DRIVE_FIXED, false, 60 * kGiB}},
                      {L"H:\\", {DRIVE_FIXED, false, 60 * kGiB}},
                      {L"I:\\", {DRIVE_REMOTE, false, 600 * kGiB}}};
    EXPECT_EQ(FindLargestDataDrive(machine), L"G:\\") << "a tie keeps the earlier drive";

    machine.drives = {{L"C:\\", {DRIVE_FIXED, false, 5 * kGiB}},
                      {L"D:\\", {DRIVE_FIXED, false, (1ull << 40) * 3}}};
    EXPECT_EQ(FindLargestDataDrive(machine), L"D:\\") << "compared as 64-bit numbers";
}

TEST(LargestDataDrive, UnreadableListGivesEmptyText) {
    FakeDrives machine;
    machine.listed = false;
    machine.drives = {{L"C:\\", {DRIVE_FIXED, false, 5 * kGiB}}};
    EXPECT_EQ(FindLargestDataDrive(machine), L"");
    machine.listed = true;
    machine.drives.clear();
    EXPECT_EQ(FindLargestDataDrive(machine), L"");
}

TEST(Resources, ExtractionWritesTheWholeResource) {
    std::wstring path = TempFolder() + L"korvane-krldr";
    test::RemoveFile(path);
    ASSERT_TRUE(ExtractResourceToFile(path, kLoaderResource, kStagingResourceType));
    std::string bytes = test::ReadFileBytes(path);
    EXPECT_EQ(bytes.size(), ResourceSize(kLoaderResource, kStagingResourceType));
    EXPECT_GT(bytes.size(), 0u);

    // An existing file is truncated and rewritten.
    ASSERT_TRUE(test::WriteFileBytes(path, std::string(100000, 'z')));
    ASSERT_TRUE(ExtractResourceToFile(path, kLoaderResource, kStagingResourceType));
    EXPECT_EQ(test::ReadFileBytes(path), bytes);

    // A missing resource still creates the (empty) file.
    ASSERT_TRUE(ExtractResourceToFile(path, 4321, kStagingResourceType));
    EXPECT_EQ(test::ReadFileBytes(path), "");
    test::RemoveFile(path);
}

// (Windows also refuses to re-create a hidden file with normal attributes; Wine does not
// emulate that, so it is not asserted here.)
TEST(Resources, ExtractionFailsWhereTheFileCannotBeCreated) {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    EXPECT_FALSE(ExtractResourceToFile(std::wstring(folder) + L"no-such-folder\\x", kLoaderResource,
                                       kStagingResourceType));
    EXPECT_FALSE(ExtractResourceToFile(L"C:\\bad|name", kLoaderResource, kStagingResourceType));
}

class RecordingField : public TextField {
  public:
    void SetFieldText(const std::wstring& text) override {
        value = text;
        ++writes;
    }
    std::wstring value = L"unchanged";
    int writes = 0;
};

TEST(SaveDialogAnswer, AlwaysAppendsGhoAndAsksBeforeOverwriting) {
    std::wstring base = TempFolder() + L"korvane-save";
    test::RemoveFile(base + L".GHO");
    test::RemoveFile(base + L".GHO.GHO");

    RecordingField field;
    test::ScriptedPrompt quiet;
    AcceptSavedGhoPath(base + L".GHO", field, quiet);
    EXPECT_EQ(field.value, base + L".GHO.GHO");
    EXPECT_TRUE(quiet.asked.empty());

    ASSERT_TRUE(test::WriteFileBytes(base + L".GHO", "old image"));
    test::ScriptedPrompt declines({IDCANCEL});
    RecordingField kept;
    AcceptSavedGhoPath(base, kept, declines);
    ASSERT_EQ(declines.asked.size(), 1u);
    EXPECT_EQ(declines.asked[0].text, L"镜像文件已存在是否覆盖？");
    EXPECT_EQ(declines.asked[0].caption, L"信息提示");
    EXPECT_EQ(declines.asked[0].type, static_cast<UINT>(MB_OKCANCEL | MB_ICONWARNING));
    EXPECT_EQ(kept.writes, 0);

    test::ScriptedPrompt agrees({IDOK});
    RecordingField taken;
    AcceptSavedGhoPath(base, taken, agrees);
    EXPECT_EQ(taken.value, base + L".GHO");
    test::RemoveFile(base + L".GHO");
}

const HWND kOwner = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234));

TEST(GhoDialogs, BothModesShowTheImageFilterWithTheirOwnTitleAndFlags) {
    test::ScriptedDialogs dialogs;
    RecordingField field;
    test::ScriptedPrompt prompt;
    ChooseGhoFile(kOwner, kGhoOpen, field, prompt, dialogs);
    ChooseGhoFile(kOwner, kGhoSave, field, prompt, dialogs);
    ASSERT_EQ(dialogs.fileDialogs.size(), 2u);

    for (const test::ScriptedDialogs::FileDialog& shown : dialogs.fileDialogs) {
        SCOPED_TRACE(shown.save ? "save" : "open");
        EXPECT_EQ(shown.description.lStructSize, sizeof(OPENFILENAMEW));
        EXPECT_EQ(shown.description.hwndOwner, kOwner);
        EXPECT_EQ(shown.filter, (std::vector<std::wstring>{L"GHO 镜像文件(*.GHO)", L"*.gho"}));
        EXPECT_EQ(shown.description.nFilterIndex, 1u);
        EXPECT_EQ(shown.description.nMaxFile, 260u);
        EXPECT_EQ(shown.initialPath, L"");
    }
    const test::ScriptedDialogs::FileDialog& open = dialogs.fileDialogs[0];
    EXPECT_FALSE(open.save);
    EXPECT_EQ(open.title, L"请选择GHO镜像文件");
    EXPECT_EQ(open.description.Flags, static_cast<DWORD>(OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST));
    const test::ScriptedDialogs::FileDialog& save = dialogs.fileDialogs[1];
    EXPECT_TRUE(save.save);
    EXPECT_EQ(save.title, L"请选择GHO镜像保存路径");
    // Without FILEMUSTEXIST: a backup must be able to name an image that does not exist yet.
    EXPECT_EQ(save.description.Flags, static_cast<DWORD>(OFN_PATHMUSTEXIST));
}

TEST(GhoDialogs, OpenModeFieldTakesTheChosenImageAndEmptiesOnCancel) {
    test::ScriptedDialogs dialogs;
    test::ScriptedPrompt prompt;
    RecordingField field;
    dialogs.confirm = true;
    dialogs.answer = L"D:\\系统备份\\a.GHO";
    ChooseGhoFile(kOwner, kGhoOpen, field, prompt, dialogs);
    EXPECT_EQ(field.value, L"D:\\系统备份\\a.GHO");

    dialogs.confirm = false;
    ChooseGhoFile(kOwner, kGhoOpen, field, prompt, dialogs);
    EXPECT_EQ(field.value, L"") << "a cancelled choice clears the restore field";
    EXPECT_EQ(field.writes, 2);
    EXPECT_TRUE(prompt.asked.empty());

    std::wstring path = L"stale";
    EXPECT_FALSE(ShowGhoOpenDialog(kOwner, &path, dialogs));
    EXPECT_EQ(path, L"");
}

TEST(GhoDialogs, SaveModeCancelKeepsTheFieldAndAConfirmedNameGetsGho) {
    std::wstring base = TempFolder() + L"korvane-save-dialog";
    test::RemoveFile(base + L".GHO");
    test::ScriptedDialogs dialogs;
    test::ScriptedPrompt prompt({IDCANCEL});
    RecordingField field;

    ChooseGhoFile(kOwner, kGhoSave, field, prompt, dialogs);
    EXPECT_EQ(field.writes, 0) << "cancel leaves the backup field";

    dialogs.confirm = true;
    dialogs.answer = base;
    ChooseGhoFile(kOwner, kGhoSave, field, prompt, dialogs);
    EXPECT_EQ(field.value, base + L".GHO");
    EXPECT_TRUE(prompt.asked.empty());

    // An existing image is only taken when the user agrees to overwrite it.
    ASSERT_TRUE(test::WriteFileBytes(base + L".GHO", "old image"));
    RecordingField kept;
    ChooseGhoFile(kOwner, kGhoSave, kept, prompt, dialogs);
    ASSERT_EQ(prompt.asked.size(), 1u);
    EXPECT_EQ(prompt.asked[0].text, L"镜像文件已存在是否覆盖？");
    EXPECT_EQ(kept.writes, 0);
    test::RemoveFile(base + L".GHO");
}

TEST(DataFolder, ChosenFileSystemFolderGoesIntoTheField) {
    std::wstring folder = TempFolder() + L"korvane-数据文件夹";
    CreateDirectoryW(folder.c_str(), nullptr);
    test::ScriptedDialogs dialogs;
    RecordingField field;

    dialogs.folder = test::FolderItem(folder);
    ASSERT_NE(dialogs.folder, nullptr);
    ChooseDataFolder(field, dialogs);
    EXPECT_EQ(field.value, folder);

    ASSERT_EQ(dialogs.folderDialogs.size(), 1u);
    const test::ScriptedDialogs::FolderDialog& shown = dialogs.folderDialogs[0];
    EXPECT_EQ(shown.title, L"请选择一个文件夹：\nPlease select a folder:");
    EXPECT_EQ(shown.description.ulFlags,
              static_cast<UINT>(BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS));
    EXPECT_EQ(shown.description.hwndOwner, nullptr);
    EXPECT_EQ(shown.description.pidlRoot, nullptr);
    RemoveDirectoryW(folder.c_str());
}

TEST(DataFolder, CancelOrAnItemWithoutAFileSystemPathChangesNothing) {
    test::ScriptedDialogs dialogs;
    RecordingField field;
    ChooseDataFolder(field, dialogs);
    EXPECT_EQ(field.writes, 0) << "cancelled";

    // "My Computer" is a shell item with no folder on disk.
    ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &dialogs.folder), S_OK);
    ChooseDataFolder(field, dialogs);
    EXPECT_EQ(field.writes, 0) << "not a file-system folder";
    EXPECT_EQ(dialogs.folderDialogs.size(), 2u);
}

}  // namespace
}  // namespace korvane

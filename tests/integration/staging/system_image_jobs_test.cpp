// The backup, restore and reinstall jobs end to end on the test machine: questions and
// their answers, the batch bytes, the staged entry, the restart, and every refusal.
#include "staging/system_image_jobs.h"

#include <cstdint>
#include <map>
#include <memory>

#include "staging/partition_probe.h"
#include "staging_fixture.h"
#include "tests/support/recording_opener.h"
#include "tests/support/scripted_prompt.h"

namespace korvane {
namespace {

using test::FileExists;
using test::ReadFileBytes;
using test::ScriptedPrompt;
using test::WriteFileBytes;

// C: is partition 2 of the first disk and S: partition 3, as on a typical two-partition PC.
class FakeVolumes : public VolumeQuery {
  public:
    std::map<std::wstring, std::wstring> ids = {{L"C:", L"1:2"}, {L"S:", L"1:3"}};
    std::wstring GhostPartitionId(const std::wstring& drive) override {
        auto it = ids.find(drive);
        return it == ids.end() ? std::wstring() : it->second;
    }
};

constexpr std::uint64_t kGiB = 1024ull * 1024 * 1024;

// A BIOS machine with an MBR first disk, no encryption and room everywhere, unless a test
// gives it another machine's facts.
class FakeMachine : public MachineFacts {
  public:
    bool nt6 = true;
    BootFirmware firmware = BootFirmware::kBios;
    ProbeVerdict firstDisk = ProbeVerdict::kMbr;
    std::map<std::wstring, bool> bitLocker;
    std::map<std::wstring, std::wstring> substituted;  // X: -> C:
    std::map<std::wstring, std::pair<std::uint64_t, std::uint64_t>> space = {
        {L"C:", {20 * kGiB, 30 * kGiB}}, {L"S:", {200 * kGiB, 10 * kGiB}}};
    int probes = 0;

    bool IsBootManagerWindows() override { return nt6; }
    BootFirmware Firmware() override { return firmware; }
    ProbeVerdict FirstDiskStyle() override {
        ++probes;
        return firstDisk;
    }
    bool IsBitLockerVolume(const std::wstring& drive) override { return bitLocker[drive]; }
    std::wstring UnderlyingDrive(const std::wstring& drive) override {
        auto it = substituted.find(drive);
        return it == substituted.end() ? drive : it->second;
    }
    bool VolumeSpace(const std::wstring& drive, std::uint64_t* freeBytes,
                     std::uint64_t* usedBytes) override {
        auto it = space.find(drive);
        if (it == space.end()) {
            return false;
        }
        *freeBytes = it->second.first;
        *usedBytes = it->second.second;
        return true;
    }
};

class ImageJobsTest : public test::StagingTest {
  protected:
    void SetUp() override {
        StagingTest::SetUp();
        RemoveTree(L"S:\\QMZSysBak");
        RemoveTree(L"S:\\KorvaneImages");
        CreateDirectoryW(L"S:\\KorvaneImages", nullptr);
    }
    void TearDown() override {
        RemoveTree(L"S:\\QMZSysBak");
        RemoveTree(L"S:\\KorvaneImages");
        StagingTest::TearDown();
    }

    static void RemoveTree(const std::wstring& folder) {
        WIN32_FIND_DATAW found;
        HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                std::wstring name = found.cFileName;
                if (name == L"." || name == L"..") {
                    continue;
                }
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    RemoveTree(folder + L"\\" + name);
                } else {
                    test::RemoveFile(folder + L"\\" + name);
                }
            } while (FindNextFileW(find, &found));
            FindClose(find);
        }
        RemoveDirectoryW(folder.c_str());
    }

    // The jobs with their preflight, telling the same prompt.
    struct JobsWithPreflight {
        JobsWithPreflight(const std::wstring& dataFolder, ScriptedPrompt& prompt,
                          ImageJobsTest& test)
            : preflight(L"C:", test.machine, prompt, test.opener, L"http://pe.example/soft/pe/"),
              jobs(L"C:", dataFolder, prompt, test.runner, test.volumes, preflight) {}
        Preflight preflight;
        SystemImageJobs jobs;
    };
    std::unique_ptr<JobsWithPreflight> made_;

    SystemImageJobs& Jobs(ScriptedPrompt& prompt, const std::wstring& dataFolder) {
        made_ = std::make_unique<JobsWithPreflight>(dataFolder, prompt, *this);
        return made_->jobs;
    }
    SystemImageJobs& Jobs(ScriptedPrompt& prompt) { return Jobs(prompt, appData); }

    // Nothing of a staging is on the machine: no batch, no loader files, the store as it was.
    void ExpectNothingStaged() {
        EXPECT_TRUE(NothingStagedAt(L"C:\\"));
        EXPECT_EQ(Store(), test::kInitialStore);
        EXPECT_EQ(ShutdownRecord(), "");
    }

    void ExpectStaged(const std::wstring& description) {
        EXPECT_TRUE(LoaderFilesAt(L"C:\\"));
        EXPECT_TRUE(FileExists(L"C:\\Ghost.ba_"));
        EXPECT_TRUE(StoreHas("default=" + Entry()));
        EXPECT_TRUE(StoreHas("description=" + test::Utf8(description)));
    }

    test::RecordingRunner runner;
    FakeVolumes volumes;
    FakeMachine machine;
    test::RecordingOpener opener;
};

const std::string kBackupBatch =
    "@echo off\r\nGhost.exe -noide -nousb -clone,mode=pdump,src=\"1:2\","
    "dst=\"1:3\\QMZSysBak\\SYSBAK.GHO\" -fro -crcignore -sure -rb -afile=\"GHOSTERR.TXT\""
    "\r\nrestart";

TEST_F(ImageJobsTest, BackupAnsweredYesWritesTheBatchStagesAndRestarts) {
    ScriptedPrompt prompt({IDYES, IDYES});
    Jobs(prompt).RunSystemBackup(L"S:\\QMZSysBak\\SYSBAK.GHO");

    ASSERT_EQ(prompt.asked.size(), 2u);
    EXPECT_EQ(prompt.asked[0].text, L"是否开始一键备份\"系统盘(C:)\"的所有文件？");
    EXPECT_EQ(prompt.asked[0].caption, L"信息提示");
    EXPECT_EQ(prompt.asked[0].type, static_cast<UINT>(MB_YESNO | MB_ICONINFORMATION));
    EXPECT_EQ(prompt.asked[1].text, L"一键备份设置完成，是否重启电脑完成一键备份？");
    EXPECT_EQ(prompt.asked[1].type, static_cast<UINT>(MB_YESNOCANCEL | MB_ICONINFORMATION));

    EXPECT_EQ(ReadFileBytes(L"C:\\Ghost.ba_"), kBackupBatch);
    EXPECT_TRUE(FileExists(L"S:\\QMZSysBak\\SYSBAK.GHO"));
    ExpectStaged(L"Korvane一键备份");
    EXPECT_EQ(runner.commands.back(), L"cmd.exe /c shutdown -r -t 0");
    EXPECT_EQ(ShutdownRecord(), "shutdown -r -t 0\r\n");
}

TEST_F(ImageJobsTest, BackupAnsweredNoStaysStagedWithoutRestart) {
    ScriptedPrompt prompt({IDYES, IDNO});
    Jobs(prompt).RunSystemBackup(L"S:\\QMZSysBak\\SYSBAK.GHO");
    ExpectStaged(L"Korvane一键备份");
    EXPECT_EQ(ShutdownRecord(), "");
}

TEST_F(ImageJobsTest, BackupCancelledUndoesTheStagingAndKeepsAnEarlierImage) {
    CreateDirectoryW(L"S:\\QMZSysBak", nullptr);
    ASSERT_TRUE(WriteFileBytes(L"S:\\QMZSysBak\\SYSBAK.GHO", "an earlier backup image"));
    ScriptedPrompt prompt({IDYES, IDCANCEL});
    Jobs(prompt).RunSystemBackup(L"S:\\QMZSysBak\\SYSBAK.GHO");

    ExpectNothingStaged();
    EXPECT_EQ(ReadFileBytes(L"S:\\QMZSysBak\\SYSBAK.GHO"), "an earlier backup image");
}

TEST_F(ImageJobsTest, BackupAnsweredNoAtTheStartDoesNothing) {
    ScriptedPrompt prompt({IDNO});
    Jobs(prompt).RunSystemBackup(L"S:\\QMZSysBak\\SYSBAK.GHO");
    EXPECT_EQ(prompt.asked.size(), 1u);
    EXPECT_FALSE(FileExists(L"S:\\QMZSysBak"));
    ExpectNothingStaged();
}

TEST_F(ImageJobsTest, RefusalsStageNothing) {
    struct Case {
        const wchar_t* path;
        const wchar_t* message;
        const wchar_t* caption;
        UINT type;
    };
    const Case cases[] = {
        {L"S:\\QMZSysBak\\caf\u00e9.GHO", L"镜像文件路径不能有中文，请重新选择。", L"信息提示",
         MB_ICONINFORMATION},
        {L"S:\\QMZSysBak\\系统.GHO", L"镜像文件路径不能有中文，请重新选择。", L"信息提示",
         MB_ICONINFORMATION},
        {L"S:\\bad|folder\\SYSBAK.GHO", L"创建备份文件夹失败！", L"信息提示", MB_ICONERROR},
        {L"Q:\\QMZSysBak\\SYSBAK.GHO",
         L"无法识别系统盘或镜像所在的磁盘分区，请检查镜像路径后重试。", L"信息提示", MB_ICONERROR},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(test::Utf8(c.path));
        ScriptedPrompt prompt({IDYES, IDYES});
        Jobs(prompt).RunSystemBackup(c.path);
        ASSERT_EQ(prompt.asked.size(), 2u);
        EXPECT_EQ(prompt.asked[1].text, c.message);
        EXPECT_EQ(prompt.asked[1].caption, c.caption);
        EXPECT_EQ(prompt.asked[1].type, c.type);
        EXPECT_FALSE(FileExists(L"S:\\QMZSysBak")) << "refused before any folder is made";
        ExpectNothingStaged();
    }
}

TEST_F(ImageJobsTest, CharactersBelowNoBreakSpaceAreAccepted) {
    ScriptedPrompt prompt({IDYES, IDNO});
    Jobs(prompt).RunSystemBackup(L"S:\\QMZSysBak\\x\u009f.GHO");
    ASSERT_EQ(prompt.asked.size(), 2u);
    EXPECT_EQ(prompt.asked[1].text, L"一键备份设置完成，是否重启电脑完成一键备份？");
    ExpectStaged(L"Korvane一键备份");
}

TEST_F(ImageJobsTest, BatchThatCannotBeWrittenStagesNothing) {
    // A folder of the batch's name cannot be deleted or replaced by a file.
    ASSERT_TRUE(CreateDirectoryW(L"C:\\Ghost.ba_", nullptr));
    ScriptedPrompt prompt({IDYES, IDYES});
    Jobs(prompt).RunSystemBackup(L"S:\\QMZSysBak\\SYSBAK.GHO");
    RemoveDirectoryW(L"C:\\Ghost.ba_");

    ASSERT_EQ(prompt.asked.size(), 2u);
    EXPECT_EQ(prompt.asked[1].text, L"创建一键备份文件失败");
    EXPECT_TRUE(runner.commands.empty());
    ExpectNothingStaged();
}

TEST_F(ImageJobsTest, ImageFileThatCannotBeCreatedStagesNothing) {
    // A folder of the image's name cannot be opened as a file.
    CreateDirectoryW(L"S:\\QMZSysBak", nullptr);
    ASSERT_TRUE(CreateDirectoryW(L"S:\\QMZSysBak\\SYSBAK.GHO", nullptr));
    ScriptedPrompt prompt({IDYES, IDYES});
    Jobs(prompt).RunSystemBackup(L"S:\\QMZSysBak\\SYSBAK.GHO");
    RemoveDirectoryW(L"S:\\QMZSysBak\\SYSBAK.GHO");

    ASSERT_EQ(prompt.asked.size(), 2u);
    EXPECT_EQ(prompt.asked[1].text, L"创建GHO镜像失败");
    EXPECT_EQ(prompt.asked[1].caption, L"信息提示");
    EXPECT_EQ(prompt.asked[1].type, static_cast<UINT>(MB_OK)) << "a plain box without an icon";
    ExpectNothingStaged();
}

// Runs one of the three jobs on the images the tests below prepare.
void RunJob(SystemImageJobs& jobs, const std::string& job) {
    if (job == "backup") {
        jobs.RunSystemBackup(L"S:\\QMZSysBak\\SYSBAK.GHO");
    } else if (job == "restore") {
        jobs.RunSystemRestore(L"S:\\KorvaneImages\\A.GHO");
    } else {
        jobs.RunSystemReinstall(L"S:\\KorvaneImages\\A.GHO");
    }
}

// The batch file was created but its bytes could not be written (a full disk, say).
TEST_F(ImageJobsTest, BatchWriteFailuresAreReportedWithTheirCaptions) {
    ASSERT_TRUE(WriteFileBytes(L"S:\\KorvaneImages\\A.GHO", "image"));
    struct Case {
        const char* job;
        const wchar_t* message;
        const wchar_t* caption;
    };
    const Case cases[] = {{"backup", L"创建一键备份文件失败", L"信息提示"},
                          {"restore", L"创建一键还原文件失败", L"信息"},
                          {"reinstall", L"创建一键重装系统文件失败", L"信息"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.job);
        ScriptedPrompt prompt({IDYES, IDYES});
        SystemImageJobs& jobs = Jobs(prompt);
        jobs.SetBatchWriter([](HANDLE, const std::string&) { return false; });
        RunJob(jobs, c.job);
        ASSERT_FALSE(prompt.asked.empty());
        EXPECT_EQ(prompt.asked.back().text, c.message);
        EXPECT_EQ(prompt.asked.back().caption, c.caption);
        EXPECT_EQ(prompt.asked.back().type, static_cast<UINT>(MB_ICONINFORMATION));
        EXPECT_TRUE(runner.commands.empty()) << "nothing staged after a failed write";
        ExpectNothingStaged();
        test::RemoveFile(L"C:\\Ghost.ba_");
    }
}

TEST_F(ImageJobsTest, NoApplicationDataFolderRefusesEveryJobBeforeAnything) {
    ASSERT_TRUE(WriteFileBytes(L"S:\\KorvaneImages\\A.GHO", "image"));
    for (const char* job : {"backup", "restore", "reinstall"}) {
        SCOPED_TRACE(job);
        ScriptedPrompt prompt({IDYES, IDYES});
        RunJob(Jobs(prompt, L""), job);
        ASSERT_EQ(prompt.asked.size(), 1u) << "refused before the first question";
        EXPECT_NE(prompt.asked[0].text.find(L"无法确定程序数据文件夹"), std::wstring::npos);
        EXPECT_EQ(prompt.asked[0].caption, L"信息提示");
        EXPECT_EQ(prompt.asked[0].type, static_cast<UINT>(MB_ICONERROR));
        EXPECT_FALSE(FileExists(L"S:\\QMZSysBak"));
        EXPECT_TRUE(runner.commands.empty());
        ExpectNothingStaged();
    }
}

TEST_F(ImageJobsTest, FailedStagingIsReportedUndoneAndDoesNotRestart) {
    test::RemoveFile(test::kStore);  // an editor that cannot change the store
    ScriptedPrompt prompt;
    ASSERT_TRUE(WriteFileBytes(L"S:\\KorvaneImages\\WIN10.GHO", "image"));
    Jobs(prompt).RunSystemReinstall(L"S:\\KorvaneImages\\WIN10.GHO");

    ASSERT_EQ(prompt.asked.size(), 1u);
    EXPECT_EQ(prompt.asked[0].type, static_cast<UINT>(MB_ICONERROR));
    EXPECT_NE(prompt.asked[0].text.find(L"设置一次性启动项失败"), std::wstring::npos);
    EXPECT_TRUE(NothingStagedAt(L"C:\\"));
    EXPECT_EQ(ShutdownRecord(), "") << "a failed staging must not restart the PC";
}

TEST_F(ImageJobsTest, RestoreAnsweredYesStagesTheRestoreBatchAndRestarts) {
    ASSERT_TRUE(WriteFileBytes(L"S:\\KorvaneImages\\SYSBAK.GHO", "image"));
    ScriptedPrompt prompt({IDYES, IDYES});
    Jobs(prompt).RunSystemRestore(L"S:\\KorvaneImages\\SYSBAK.GHO");

    ASSERT_EQ(prompt.asked.size(), 2u);
    EXPECT_EQ(prompt.asked[0].text,
              L"一键还原会格式化\"系统盘(C:)\"的所有文件,\r\n\r\n请注意做好相关文件的备份,"
              L"\r\n\r\n是否继续一键还原系统？");
    EXPECT_EQ(prompt.asked[0].caption, L"信息");
    EXPECT_EQ(prompt.asked[1].text, L"一键还原设置完成，是否重启电脑完成一键重装？");
    EXPECT_EQ(ReadFileBytes(L"C:\\Ghost.ba_"),
              "@echo off\r\nGhost.exe -noide -nousb -clone,mode=pload,"
              "src=\"1:3\\KorvaneImages\\SYSBAK.GHO:1\",dst=\"1:2\" -sure -fx -fro\r\nrestart");
    ExpectStaged(L"Korvane一键还原");
    EXPECT_EQ(ShutdownRecord(), "shutdown -r -t 0\r\n");
}

TEST_F(ImageJobsTest, RestoreCancelledIsUndone) {
    ASSERT_TRUE(WriteFileBytes(L"S:\\KorvaneImages\\SYSBAK.GHO", "image"));
    ScriptedPrompt prompt({IDYES, IDCANCEL});
    Jobs(prompt).RunSystemRestore(L"S:\\KorvaneImages\\SYSBAK.GHO");
    ExpectNothingStaged();
    EXPECT_EQ(ReadFileBytes(L"S:\\KorvaneImages\\SYSBAK.GHO"), "image");
}

TEST_F(ImageJobsTest, RestoreRefusesAMissingImageAndChinesePaths) {
    ScriptedPrompt missing({IDYES});
    Jobs(missing).RunSystemRestore(L"S:\\KorvaneImages\\NONE.GHO");
    ASSERT_EQ(missing.asked.size(), 2u);
    EXPECT_EQ(missing.asked[1].text, L"还原镜像文件不存在，请重新选择还原镜像！");
    EXPECT_EQ(missing.asked[1].caption, L"信息");
    EXPECT_EQ(missing.asked[1].type, static_cast<UINT>(MB_ICONINFORMATION));
    ExpectNothingStaged();

    CreateDirectoryW(L"S:\\KorvaneImages\\备份", nullptr);
    ASSERT_TRUE(WriteFileBytes(L"S:\\KorvaneImages\\备份\\A.GHO", "image"));
    ScriptedPrompt chinese({IDYES});
    Jobs(chinese).RunSystemRestore(L"S:\\KorvaneImages\\备份\\A.GHO");
    ASSERT_EQ(chinese.asked.size(), 2u);
    EXPECT_EQ(chinese.asked[1].text, L"镜像文件路径不能有中文，请重新选择。");
    ExpectNothingStaged();
}

TEST_F(ImageJobsTest, ReinstallRestartsWithoutAQuestion) {
    ASSERT_TRUE(WriteFileBytes(L"S:\\KorvaneImages\\WIN10.GHO", "image"));
    ScriptedPrompt prompt;
    Jobs(prompt).RunSystemReinstall(L"S:\\KorvaneImages\\WIN10.GHO");

    EXPECT_TRUE(prompt.asked.empty());
    ExpectStaged(L"Korvane一键重装系统");
    EXPECT_EQ(ReadFileBytes(L"C:\\Ghost.ba_"),
              "@echo off\r\nGhost.exe -noide -nousb -clone,mode=pload,"
              "src=\"1:3\\KorvaneImages\\WIN10.GHO:1\",dst=\"1:2\" -sure -fx -fro\r\nrestart");
    EXPECT_EQ(ShutdownRecord(), "shutdown -r -t 0\r\n");
}

TEST_F(ImageJobsTest, ReinstallRefusesAMissingImageAndChinesePaths) {
    ScriptedPrompt prompt;
    Jobs(prompt).RunSystemReinstall(L"S:\\KorvaneImages\\NONE.GHO");
    ASSERT_EQ(prompt.asked.size(), 1u);
    EXPECT_EQ(prompt.asked[0].text, L"一键重装系统文件不存在，请重新选择还原镜像！");
    EXPECT_EQ(prompt.asked[0].caption, L"信息");
    EXPECT_EQ(prompt.asked[0].type, static_cast<UINT>(MB_ICONINFORMATION));
    ExpectNothingStaged();

    CreateDirectoryW(L"S:\\KorvaneImages\\系统", nullptr);
    ASSERT_TRUE(WriteFileBytes(L"S:\\KorvaneImages\\系统\\W.GHO", "image"));
    ScriptedPrompt chinese;
    Jobs(chinese).RunSystemReinstall(L"S:\\KorvaneImages\\系统\\W.GHO");
    ASSERT_EQ(chinese.asked.size(), 1u);
    EXPECT_EQ(chinese.asked[0].text, L"一键重装系统文件路径不能有中文，请重新选择。");
    EXPECT_EQ(chinese.asked[0].caption, L"信息提示");
    EXPECT_EQ(chinese.asked[0].type, static_cast<UINT>(MB_ICONINFORMATION));
    ExpectNothingStaged();
}

// Run as Windows XP: the same jobs stage through boot.ini.
TEST_F(ImageJobsTest, XpBackupStagesThroughBootIni) {
    ASSERT_TRUE(WriteFileBytes(L"C:\\boot.ini", test::kXpBootIni));
    ScriptedPrompt prompt({IDYES, IDYES});
    Jobs(prompt).RunSystemBackup(L"S:\\QMZSysBak\\SYSBAK.GHO");

    EXPECT_EQ(ReadFileBytes(L"C:\\Ghost.ba_"), kBackupBatch);
    wchar_t value[64] = {};
    GetPrivateProfileStringW(L"boot loader", L"default", L"", value, 64, L"C:\\boot.ini");
    EXPECT_STREQ(value, L"C:\\krldr.mbr");
    EXPECT_EQ(Store(), test::kInitialStore);
    EXPECT_EQ(ShutdownRecord(), "shutdown -r -t 0\r\n");
}

TEST_F(ImageJobsTest, XpStagingThatFailsDoesNotRestart) {
    // Folders in the place of boot.ini and its copy: boot.ini can be neither moved, copied
    // nor written.
    ASSERT_TRUE(CreateDirectoryW(L"C:\\boot.ini", nullptr));
    ASSERT_TRUE(CreateDirectoryW(L"C:\\boot.in_", nullptr));
    ASSERT_TRUE(WriteFileBytes(L"S:\\KorvaneImages\\WIN7.GHO", "image"));
    ScriptedPrompt prompt;
    Jobs(prompt).RunSystemReinstall(L"S:\\KorvaneImages\\WIN7.GHO");
    RemoveDirectoryW(L"C:\\boot.ini");
    RemoveDirectoryW(L"C:\\boot.in_");

    ASSERT_EQ(prompt.asked.size(), 1u);
    EXPECT_NE(prompt.asked[0].text.find(L"设置一次性启动项失败"), std::wstring::npos);
    EXPECT_EQ(prompt.asked[0].type, static_cast<UINT>(MB_ICONERROR));
    EXPECT_TRUE(NothingStagedAt(L"C:\\"));
    EXPECT_EQ(ShutdownRecord(), "") << "a failed staging must not restart the PC";
}

// Another machine's facts refuse every job before its first question: nothing is written,
// run or restarted.
TEST_F(ImageJobsTest, MachinesThatCannotStartTheEntryRefuseEveryJobFirst) {
    ASSERT_TRUE(WriteFileBytes(L"S:\\KorvaneImages\\A.GHO", "image"));
    const std::wstring notMbr = ProbeRefusalMessage(ProbeVerdict::kFirstDiskNotMbr);
    struct Case {
        const char* name;
        void (*give)(FakeMachine&);
        std::wstring message;
        UINT type;
        bool pePage;
    };
    const Case cases[] = {
        {"UEFI firmware", [](FakeMachine& m) { m.firmware = BootFirmware::kUefi; }, notMbr,
         MB_OK | MB_ICONERROR, true},
        {"GPT first disk", [](FakeMachine& m) { m.firstDisk = ProbeVerdict::kFirstDiskNotMbr; },
         notMbr, MB_OK | MB_ICONERROR, true},
        {"list without disk 0",
         [](FakeMachine& m) { m.firstDisk = ProbeVerdict::kListNotFromDiskZero; },
         ProbeRefusalMessage(ProbeVerdict::kListNotFromDiskZero), MB_OK | MB_ICONERROR, true},
        {"BitLocker on C:", [](FakeMachine& m) { m.bitLocker[L"C:"] = true; },
         L"系统盘(C:)已开启 BitLocker 加密，重启后的 DOS 环境无法读取它。\r\n\r\n"
         L"请先关闭 BitLocker（等待解密完成）后重试。未做任何更改，电脑不会重启。",
         MB_ICONERROR, false},
    };
    for (const Case& c : cases) {
        for (const char* job : {"backup", "restore", "reinstall"}) {
            SCOPED_TRACE(std::string(c.name) + ", " + job);
            machine = FakeMachine();
            c.give(machine);
            opener.opened.clear();
            runner.commands.clear();
            ScriptedPrompt prompt({IDYES, IDYES});
            RunJob(Jobs(prompt), job);
            ASSERT_EQ(prompt.asked.size(), 1u) << "refused before the first question";
            EXPECT_EQ(prompt.asked[0].text, c.message);
            EXPECT_EQ(prompt.asked[0].caption, L"信息提示");
            EXPECT_EQ(prompt.asked[0].type, c.type);
            EXPECT_EQ(opener.opened.size(), c.pePage ? 1u : 0u);
            EXPECT_TRUE(runner.commands.empty());
            EXPECT_FALSE(FileExists(L"S:\\QMZSysBak"));
            ExpectNothingStaged();
        }
    }
    // UEFI firmware is refused without asking diskpart.
    machine = FakeMachine();
    machine.firmware = BootFirmware::kUefi;
    ScriptedPrompt prompt({IDYES});
    Jobs(prompt).RunSystemReinstall(L"S:\\KorvaneImages\\A.GHO");
    EXPECT_EQ(machine.probes, 0);
}

// Windows XP starts no boot manager entry: neither the firmware nor the probe is asked.
TEST_F(ImageJobsTest, XpMachinesAreNotProbed) {
    machine.nt6 = false;
    machine.firmware = BootFirmware::kUefi;
    machine.firstDisk = ProbeVerdict::kFirstDiskNotMbr;
    ScriptedPrompt prompt({IDYES, IDNO});
    Jobs(prompt).RunSystemBackup(L"S:\\QMZSysBak\\SYSBAK.GHO");
    ASSERT_EQ(prompt.asked.size(), 2u);
    EXPECT_EQ(prompt.asked[1].text, L"一键备份设置完成，是否重启电脑完成一键备份？");
    EXPECT_EQ(machine.probes, 0);
}

// Ghost rewrites the system partition (restore, reinstall) or dumps it (backup): an image
// there cannot work after the restart, under any drive letter it is reached by.
TEST_F(ImageJobsTest, AnImageOnTheSystemPartitionIsRefusedBeforeAnythingIsWritten) {
    CreateDirectoryW(L"C:\\KorvaneImages", nullptr);
    ASSERT_TRUE(WriteFileBytes(L"C:\\KorvaneImages\\A.GHO", "image"));
    machine.substituted[L"X:"] = L"C:";
    struct Case {
        const char* job;
        const wchar_t* path;
        ImageUse use;
    };
    const Case cases[] = {
        {"backup", L"C:\\QMZSysBak\\SYSBAK.GHO", ImageUse::kBackup},
        {"backup", L"c:\\QMZSysBak\\SYSBAK.GHO", ImageUse::kBackup},
        {"backup", L"X:\\QMZSysBak\\SYSBAK.GHO", ImageUse::kBackup},
        {"restore", L"C:\\KorvaneImages\\A.GHO", ImageUse::kRestore},
        {"reinstall", L"C:\\KorvaneImages\\A.GHO", ImageUse::kReinstall},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(test::Utf8(c.path));
        runner.commands.clear();
        ScriptedPrompt prompt({IDYES, IDYES});
        SystemImageJobs& jobs = Jobs(prompt);
        if (std::string(c.job) == "backup") {
            jobs.RunSystemBackup(c.path);
        } else if (std::string(c.job) == "restore") {
            jobs.RunSystemRestore(c.path);
        } else {
            jobs.RunSystemReinstall(c.path);
        }
        ASSERT_FALSE(prompt.asked.empty());
        EXPECT_EQ(prompt.asked.back().text, SystemPartitionRefusal(c.use, L"C:"));
        EXPECT_EQ(prompt.asked.back().caption, L"信息提示");
        EXPECT_EQ(prompt.asked.back().type, static_cast<UINT>(MB_ICONERROR));
        EXPECT_FALSE(FileExists(L"C:\\QMZSysBak"));
        EXPECT_TRUE(runner.commands.empty());
        ExpectNothingStaged();
    }
    RemoveTree(L"C:\\KorvaneImages");
}

TEST_F(ImageJobsTest, AnEncryptedImageVolumeIsRefused) {
    ASSERT_TRUE(WriteFileBytes(L"S:\\KorvaneImages\\A.GHO", "image"));
    machine.bitLocker[L"S:"] = true;
    for (const char* job : {"backup", "restore", "reinstall"}) {
        SCOPED_TRACE(job);
        ScriptedPrompt prompt({IDYES, IDYES});
        RunJob(Jobs(prompt), job);
        ASSERT_FALSE(prompt.asked.empty());
        EXPECT_EQ(prompt.asked.back().text.rfind(L"镜像所在分区(S:)已开启 BitLocker 加密", 0), 0u)
            << test::Utf8(prompt.asked.back().text);
        EXPECT_EQ(prompt.asked.back().type, static_cast<UINT>(MB_ICONERROR));
        EXPECT_FALSE(FileExists(L"S:\\QMZSysBak"));
        ExpectNothingStaged();
    }
}

// C: uses 30 GiB: a backup drive with less than 15 GiB free asks first.
TEST_F(ImageJobsTest, ABackupOntoADriveWithLittleRoomAsksFirst) {
    machine.space[L"S:"] = {14 * kGiB, kGiB};
    ScriptedPrompt no({IDYES, IDNO});
    Jobs(no).RunSystemBackup(L"S:\\QMZSysBak\\SYSBAK.GHO");
    ASSERT_EQ(no.asked.size(), 2u);
    EXPECT_EQ(no.asked[1].text,
              L"镜像所在分区(S:)的可用空间只有14.0 GB，不到系统盘(C:)已用空间30.0 GB的一半，"
              L"备份可能因空间不足而失败。\r\n\r\n是否仍要继续一键备份？");
    EXPECT_EQ(no.asked[1].type, static_cast<UINT>(MB_YESNO | MB_ICONINFORMATION));
    EXPECT_FALSE(FileExists(L"S:\\QMZSysBak"));
    ExpectNothingStaged();

    ScriptedPrompt yes({IDYES, IDYES, IDNO});
    Jobs(yes).RunSystemBackup(L"S:\\QMZSysBak\\SYSBAK.GHO");
    ASSERT_EQ(yes.asked.size(), 3u);
    ExpectStaged(L"Korvane一键备份");

    machine.space[L"S:"] = {15 * kGiB, kGiB};  // exactly half: no question
    ScriptedPrompt enough({IDYES, IDNO});
    Jobs(enough).RunSystemBackup(L"S:\\QMZSysBak\\SYSBAK.GHO");
    ASSERT_EQ(enough.asked.size(), 2u);
    EXPECT_EQ(enough.asked[1].text, L"一键备份设置完成，是否重启电脑完成一键备份？");
}

}  // namespace
}  // namespace korvane

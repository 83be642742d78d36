// The partition-style probe as a job: the script it writes, the command it runs, the output
// it reads and what each verdict shows. Under Wine the real script always reports a "... 1"
// row first, so the verdicts come from output files that a stand-in runner writes.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "staging/partition_probe.h"
#include "sysutil/text_conversion.h"
#include "tests/integration/staging/staging_fixture.h"
#include "tests/support/recording_opener.h"
#include "tests/support/scripted_prompt.h"
#include "tests/support/test_paths.h"

namespace korvane {
namespace {

using test::FileExists;
using test::ReadFileBytes;
using test::RecordingOpener;
using test::RemoveFile;
using test::ScriptedPrompt;
using test::WriteFileBytes;

constexpr wchar_t kPageUrl[] = L"http://127.0.0.1:8/soft/pe/";
constexpr wchar_t kFlagMessage[] = L"检测到本机分区为非MBR分区，请使用KorvanePE重装系统！";
constexpr wchar_t kNotDiskZeroMessage[] = L"检测到本机分区为非MBR分区，请使用KorvanePE下重装系统！";

// Stands in for cmd and diskpart: writes a fixture output file, or nothing when the fixture
// is missing or the command is made not to start. Keeps the script as it was at run time.
class FixtureOutputRunner : public CommandRunner {
  public:
    FixtureOutputRunner(std::wstring folder, bool writes, std::string output)
        : folder_(std::move(folder)), writes_(writes), output_(std::move(output)) {}

    HiddenCommandResult Run(const std::wstring& commandLine) override {
        commands.push_back(commandLine);
        scriptAtRun = ReadFileBytes(folder_ + L"\\krxtmbr.cmd");
        HiddenCommandResult result;
        if (started) {
            result.started = result.exited = true;
            if (writes_) {
                WriteFileBytes(folder_ + L"\\KRXT.txt", output_);
            }
        }
        return result;
    }

    bool started = true;
    std::vector<std::wstring> commands;
    std::string scriptAtRun;

  private:
    std::wstring folder_;
    bool writes_;
    std::string output_;
};

class PartitionProbeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        folder = std::wstring(temp) + L"korvane-probe-test";
        CreateDirectoryW(folder.c_str(), nullptr);
        TearDown();
    }
    void TearDown() override {
        RemoveFile(folder + L"\\krxtmbr.cmd");
        RemoveFile(folder + L"\\KRXT.txt");
    }

    std::wstring folder;
};

std::string SourceScript() {
    bool ok = false;
    std::string bytes = ReadFileBytes(
        test::UnixPathFromEnv(L"KORVANE_SOURCE_DIR") + L"\\resources\\probe\\krxtmbr.cmd", &ok);
    EXPECT_TRUE(ok);
    return bytes;
}

TEST_F(PartitionProbeTest, WritesTheScriptAndRunsItIntoTheOutputFile) {
    FixtureOutputRunner runner(folder, true, "Disk 0 0\r\n");
    ScriptedPrompt prompt;
    RecordingOpener opener;

    EXPECT_EQ(ProbeFirstDiskStyle(folder, runner, prompt, opener, kPageUrl), ProbeVerdict::kMbr);

    ASSERT_EQ(runner.commands.size(), 1u);
    EXPECT_EQ(runner.commands[0],
              L"cmd.exe /c " + folder + L"\\krxtmbr.cmd>\"" + folder + L"\\KRXT.txt\"");
    // The carried script, byte for byte, was in place when the command ran.
    std::string script = SourceScript();
    EXPECT_EQ(script.size(), 197u);
    EXPECT_EQ(script,
              "@echo off\r\n"
              "for /f \"tokens=1,2,* delims= \" %%a in ('echo list disk^|diskpart^|find /i \"B\"') "
              "do (\r\n"
              "  (echo,%%c|find /i \"*\" >nul 2>nul) && (\r\n"
              "     echo %%a %%b 1\r\n"
              "  ) || (\r\n"
              "     echo %%a %%b 0\r\n"
              "  )\r\n"
              ")");
    EXPECT_EQ(runner.scriptAtRun, script);
    EXPECT_TRUE(prompt.asked.empty());
    EXPECT_TRUE(opener.opened.empty());
}

TEST_F(PartitionProbeTest, EachOutputGetsItsVerdictMessageAndPage) {
    struct Case {
        const char* name;
        bool writes;
        std::wstring output;
        ProbeVerdict verdict;
        const wchar_t* message;  // null: nothing shown, no page
    };
    const Case cases[] = {
        {"Disk 0 0", true, L"Disk 0 0\r\nDisk 1 1\r\n", ProbeVerdict::kMbr, nullptr},
        {"磁盘 0 0", true, L"磁盘 0 0\r\n", ProbeVerdict::kMbr, nullptr},
        {"first row ends in 1", true, L"Disk 0 1\r\nDisk 1 0\r\n", ProbeVerdict::kFirstDiskNotMbr,
         kFlagMessage},
        {"磁盘 0 1", true, L"磁盘 0 1\r\n", ProbeVerdict::kFirstDiskNotMbr, kFlagMessage},
        {"list starts at disk 1", true, L"Disk 1 0\r\nDisk 2 0\r\n",
         ProbeVerdict::kListNotFromDiskZero, kNotDiskZeroMessage},
        {"list starts at 磁盘 11", true, L"磁盘 11 0\r\n", ProbeVerdict::kListNotFromDiskZero,
         kNotDiskZeroMessage},
        {"empty output", true, L"", ProbeVerdict::kFirstDiskNotMbr, kFlagMessage},
        {"no output file", false, L"", ProbeVerdict::kFirstDiskNotMbr, kFlagMessage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        // The output file is ANSI text, as cmd's redirection writes it.
        FixtureOutputRunner runner(folder, c.writes, WideToAnsi(c.output));
        ScriptedPrompt prompt;
        RecordingOpener opener;

        EXPECT_EQ(ProbeFirstDiskStyle(folder, runner, prompt, opener, kPageUrl), c.verdict);

        if (!c.message) {
            EXPECT_TRUE(prompt.asked.empty());
            EXPECT_TRUE(opener.opened.empty());
            continue;
        }
        ASSERT_EQ(prompt.asked.size(), 1u);
        EXPECT_EQ(prompt.asked[0].text, c.message);
        EXPECT_EQ(prompt.asked[0].caption, L"信息提示");
        EXPECT_EQ(prompt.asked[0].type, static_cast<UINT>(MB_OK | MB_ICONERROR));
        EXPECT_EQ(opener.opened, std::vector<std::wstring>{kPageUrl});
    }
}

TEST_F(PartitionProbeTest, OutputOfAnEarlierStartIsNotJudgedWhenTheScriptCannotRun) {
    ASSERT_TRUE(WriteFileBytes(folder + L"\\KRXT.txt", "Disk 0 0\r\n"));
    FixtureOutputRunner runner(folder, true, "Disk 0 0\r\n");
    runner.started = false;
    ScriptedPrompt prompt;
    RecordingOpener opener;

    EXPECT_EQ(ProbeFirstDiskStyle(folder, runner, prompt, opener, kPageUrl),
              ProbeVerdict::kFirstDiskNotMbr);
    ASSERT_EQ(prompt.asked.size(), 1u);
    EXPECT_EQ(prompt.asked[0].text, kFlagMessage);
}

TEST_F(PartitionProbeTest, JudgesOnlyTheFirstHundredBytes) {
    // Read whole, this would be "... 0 0": MBR. Its first 100 bytes hold no blank.
    FixtureOutputRunner runner(folder, true, std::string(100, 'X') + " 0 0\r\n");
    ScriptedPrompt prompt;
    RecordingOpener opener;

    EXPECT_EQ(ProbeFirstDiskStyle(folder, runner, prompt, opener, kPageUrl),
              ProbeVerdict::kFirstDiskNotMbr);
}

// The real script through cmd, the stand-in diskpart and find: a GPT first disk.
TEST_F(PartitionProbeTest, RealScriptReportsAGptFirstDisk) {
    std::wstring fixture = folder + L"\\diskpart-gpt.txt";
    ASSERT_TRUE(WriteFileBytes(fixture,
                               "Microsoft DiskPart version 6.1.7601\r\n\r\n"
                               "  Disk ###  Status         Size     Free     Dyn  Gpt\r\n"
                               "  --------  -------------  -------  -------  ---  ---\r\n"
                               "  Disk 0    Online          465 GB      0 B        *\r\n"));
    SetEnvironmentVariableW(L"KORVANE_DISKPART_FIXTURE", fixture.c_str());
    test::RecordingRunner runner;
    ScriptedPrompt prompt;
    RecordingOpener opener;

    ProbeVerdict verdict = ProbeFirstDiskStyle(folder, runner, prompt, opener, kPageUrl);

    SetEnvironmentVariableW(L"KORVANE_DISKPART_FIXTURE", nullptr);
    RemoveFile(fixture);
    std::string output = ReadFileBytes(folder + L"\\KRXT.txt");
    EXPECT_EQ(output.substr(0, 10), "Disk 0 1\r\n");
    EXPECT_EQ(verdict, ProbeVerdict::kFirstDiskNotMbr);
    EXPECT_EQ(opener.opened.size(), 1u);
}

// A data folder with a blank, & and %name% (user names such as "Tom & Jerry" exist): the
// script still runs and writes its output there, through Wine's own cmd.
TEST_F(PartitionProbeTest, RunsFromAFolderCmdWouldSplitOrExpand) {
    std::wstring fixture = folder + L"\\diskpart-mbr.txt";
    ASSERT_TRUE(WriteFileBytes(fixture, "  Disk 0    Online          465 GB      0 B\r\n"));
    SetEnvironmentVariableW(L"KORVANE_DISKPART_FIXTURE", fixture.c_str());
    const std::wstring user = folder + L"\\Tom & Jerry %OS% 100%";
    CreateDirectoryW(user.c_str(), nullptr);
    test::RecordingRunner runner;
    ScriptedPrompt prompt;
    RecordingOpener opener;

    ProbeFirstDiskStyle(user, runner, prompt, opener, kPageUrl);

    SetEnvironmentVariableW(L"KORVANE_DISKPART_FIXTURE", nullptr);
    std::string output = ReadFileBytes(user + L"\\KRXT.txt");
    EXPECT_EQ(output.substr(0, 6), "Disk 0") << "the script ran and its output reached the folder";
    for (const wchar_t* name : {L"\\KRXT.txt", L"\\krxtmbr.cmd"}) {
        RemoveFile(user + name);
    }
    RemoveDirectoryW(user.c_str());
    RemoveFile(fixture);
}

}  // namespace
}  // namespace korvane

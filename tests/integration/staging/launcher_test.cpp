// Our bcdedit.exe: finds the platform's editor past WOW64 redirection and passes its exit code on.
#include <gtest/gtest.h>

#include "staging/launcher/platform_editor.h"
#include "staging/staging_resources.h"
#include "staging_fixture.h"
#include "sysutil/resource_file.h"

namespace korvane {
namespace {

TEST(EditorLauncher, EditorPathReachesPastWow64Redirection) {
    EXPECT_EQ(PlatformEditorPath(L"C:\\Windows", true), L"C:\\Windows\\Sysnative\\bcdedit.exe");
    EXPECT_EQ(PlatformEditorPath(L"C:\\Windows", false), L"C:\\Windows\\System32\\bcdedit.exe");
}

TEST(EditorLauncher, ArgumentsAreTakenAsTyped) {
    EXPECT_EQ(CommandLineArguments(L"bcdedit.exe /timeout 3 "), L"/timeout 3 ");
    EXPECT_EQ(CommandLineArguments(L"\"C:\\a b\\bcdedit.exe\" /create {x} /d \"K 一\""),
              L"/create {x} /d \"K 一\"");
    EXPECT_EQ(CommandLineArguments(L"C:\\x\\bcdedit.exe"), L"");
    EXPECT_EQ(CommandLineArguments(L"\"unterminated"), L"");
    EXPECT_EQ(CommandLineArguments(L""), L"");
}

TEST(EditorLauncher, WithoutAnEditorFailsWithANonZeroCode) {
    EXPECT_NE(RunPlatformEditor(L"C:\\no-such-windows\\System32\\bcdedit.exe", L"/enum"), 0);
}

// A file where the editor should be that is no program: the launcher says so, with the
// system's error number, and answers 2 like a missing editor.
TEST(EditorLauncher, AnEditorThatCannotStartIsReportedWithItsErrorNumber) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring editor = std::wstring(temp) + L"not-a-program-bcdedit.exe";
    const std::wstring errors = std::wstring(temp) + L"launcher-errors.txt";
    ASSERT_TRUE(test::WriteFileBytes(editor, "plain text, not a program"));
    UniqueHandle errorFile(CreateFileW(errors.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(errorFile.IsValid());
    HANDLE standardError = GetStdHandle(STD_ERROR_HANDLE);
    SetStdHandle(STD_ERROR_HANDLE, errorFile.Get());
    int exitCode = RunPlatformEditor(editor, L"/enum");
    SetStdHandle(STD_ERROR_HANDLE, standardError);
    errorFile.Reset();

    EXPECT_EQ(exitCode, 2);
    const std::string said = test::ReadFileBytes(errors);
    EXPECT_NE(said.find("bcdedit: cannot start "), std::string::npos) << said;
    EXPECT_NE(said.find("(error 193)"), std::string::npos) << said;  // ERROR_BAD_EXE_FORMAT
    test::RemoveFile(editor);
    test::RemoveFile(errors);
}

class LauncherRunTest : public test::StagingTest {};

TEST_F(LauncherRunTest, PassesArgumentsAndTheEditorsExitCodeOn) {
    std::wstring launcher = appData + L"\\bcdedit.exe";
    test::RemoveFile(launcher);
    ASSERT_TRUE(ExtractResourceToFile(launcher, kEditorResource, kStagingResourceType));

    HiddenCommandResult ok =
        test::RunStartingAgainIfWineCouldNot(L"cmd.exe /c " + launcher + L" /timeout 7");
    EXPECT_EQ(ok.exitCode, 0u);
    EXPECT_TRUE(StoreHas("timeout=7"));

    HiddenCommandResult bad = test::RunStartingAgainIfWineCouldNot(L"cmd.exe /c " + launcher +
                                                                   L" /default {no-such-entry}");
    EXPECT_EQ(bad.exitCode, 1u);

    std::wstring output = RunHiddenCommand(L"cmd.exe /c " + launcher + L" /enum", true);
    EXPECT_NE(output.find(L"[{bootmgr}]"), std::wstring::npos) << "output passes through";
}

// The tests' runner starts an editor command again only when the stand-in editor never
// started: one that reached it runs once, whatever it answered; one that did not (here a
// line that only names the editor) is started three times in all.
TEST_F(LauncherRunTest, OnlyAnEditorCommandThatNeverReachedTheEditorIsStartedAgain) {
    // Written here unless there already: a launcher an earlier test started may still be
    // ending, and its file cannot be rewritten meanwhile.
    std::wstring launcher = appData + L"\\bcdedit.exe";
    if (!test::FileExists(launcher)) {
        ASSERT_TRUE(ExtractResourceToFile(launcher, kEditorResource, kStagingResourceType));
    }
    const std::wstring tally = appData + L"\\tally.txt";
    test::RemoveFile(tally);

    const size_t runs = test::EditorRunCount();
    HiddenCommandResult reached = test::RunStartingAgainIfWineCouldNot(
        L"cmd.exe /c " + launcher + L" /default {no-such-entry}");
    EXPECT_EQ(reached.exitCode, 1u);
    EXPECT_EQ(test::EditorRunCount(), runs + 1);

    HiddenCommandResult missed =
        test::RunStartingAgainIfWineCouldNot(L"cmd.exe /c echo x>>" + tally + L"& rem " + launcher);
    EXPECT_EQ(missed.exitCode, 0u);
    EXPECT_EQ(test::ReadFileBytes(tally), "x\r\nx\r\nx\r\n");
    EXPECT_EQ(test::EditorRunCount(), runs + 1);
    test::RemoveFile(tally);
}

}  // namespace
}  // namespace korvane

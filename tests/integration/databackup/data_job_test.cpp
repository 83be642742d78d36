// The personal-data job on real folders: what it copies and leaves out, the lines it shows,
// the message it ends with, and the trees that must not fool it (locked files, link loops,
// paths deeper than MAX_PATH).
#include "databackup/long_path.h"
#include "data_job_fixture.h"

namespace korvane {
namespace {

using test::Attributes;
using test::HasFileOf;
using test::Listing;
using test::MakeFile;
using test::MakeFolders;
using test::Utf8;

constexpr UINT kInfo = MB_OK | MB_ICONINFORMATION;
constexpr UINT kError = MB_OK | MB_ICONERROR;

class DataJobTest : public test::DataJobTest {};

TEST_F(DataJobTest, BackupOfDesktopOnlyCopiesItAndMakesTheOtherFoldersEmpty) {
    MakeFile(documents + L"\\letter.txt");
    MakeFile(desktop + L"\\a.txt");
    MakeFile(desktop + L"\\notes\\b.txt");
    MakeFile(desktop + L"\\notes\\deeper\\c.txt");
    page.SelectOnly({2});
    Run(kDataBackup);

    EXPECT_EQ(view.activity,
              (std::vector<std::wstring>{L"正在获取备份信息. . .", L"正在备份[桌面]. . ."}));
    ASSERT_GE(view.counts.size(), 3u);
    EXPECT_EQ(view.counts[0], L"已备份：0/0");
    EXPECT_EQ(view.counts[1], L"已备份：1/3");
    EXPECT_EQ(view.counts.back(), L"已备份：3/3");
    EXPECT_TRUE(HasFileOf(root + L"\\桌面\\a.txt", desktop + L"\\a.txt"));
    EXPECT_TRUE(HasFileOf(root + L"\\桌面\\notes\\b.txt", desktop + L"\\notes\\b.txt"));
    EXPECT_TRUE(
        HasFileOf(root + L"\\桌面\\notes\\deeper\\c.txt", desktop + L"\\notes\\deeper\\c.txt"));
    EXPECT_NE(Attributes(root + L"\\我的文档"), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(Listing(root + L"\\我的文档").empty());
    EXPECT_NE(Attributes(root + L"\\收藏夹"), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(Listing(root + L"\\收藏夹").empty());
    EXPECT_EQ(EndMessage().text, L"一键备份个人资料成功！");
    EXPECT_EQ(EndMessage().caption, L"信息提示");
    EXPECT_EQ(EndMessage().type, kInfo);
}

TEST_F(DataJobTest, BackupLeavesDotNamesOutAndClearsReadOnly) {
    MakeFile(documents + L"\\kept.txt");
    MakeFile(documents + L"\\.profile");
    MakeFile(documents + L"\\.git\\config");
    MakeFile(documents + L"\\sub\\.cache");
    MakeFile(documents + L"\\locked.doc");
    SetFileAttributesW(test::Long(documents + L"\\locked.doc").c_str(),
                       FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    page.SelectOnly({1});
    Run(kDataBackup);

    EXPECT_EQ(view.counts.front(), L"已备份：0/2") << "dot-names are not counted";
    EXPECT_EQ(view.counts.back(), L"已备份：2/2");
    const std::wstring copy = root + L"\\我的文档";
    std::vector<std::wstring> top = Listing(copy);
    std::sort(top.begin(), top.end());
    EXPECT_EQ(top, (std::vector<std::wstring>{L"kept.txt", L"locked.doc", L"sub"}));
    EXPECT_TRUE(Listing(copy + L"\\sub").empty());
    for (const std::wstring& file : {documents + L"\\locked.doc", copy + L"\\locked.doc"}) {
        DWORD attributes = Attributes(file);
        EXPECT_EQ(attributes & FILE_ATTRIBUTE_READONLY, 0u) << Utf8(file);
        EXPECT_NE(attributes & FILE_ATTRIBUTE_HIDDEN, 0u) << "other attributes stay";
    }
    EXPECT_TRUE(HasFileOf(copy + L"\\locked.doc", documents + L"\\locked.doc"));
    EXPECT_EQ(EndMessage().text, L"一键备份个人资料成功！");
}

TEST_F(DataJobTest, SecondBackupOverwritesAndKeepsFilesGoneFromTheSource) {
    MakeFile(documents + L"\\changing.txt");
    MakeFile(documents + L"\\deleted.txt");
    Run(kDataBackup);
    const std::wstring copy = root + L"\\我的文档";
    ASSERT_TRUE(HasFileOf(copy + L"\\deleted.txt", documents + L"\\deleted.txt"));
    // The user marks the old copy read-only; the next run must still replace it.
    SetFileAttributesW(test::Long(copy + L"\\changing.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(test::WriteFileBytes(test::Long(documents + L"\\changing.txt"), "second"));
    DeleteFileW(test::Long(documents + L"\\deleted.txt").c_str());
    Run(kDataBackup);

    EXPECT_EQ(test::ReadFileBytes(test::Long(copy + L"\\changing.txt")), "second");
    EXPECT_TRUE(HasFileOf(copy + L"\\deleted.txt", documents + L"\\deleted.txt"));
    EXPECT_EQ(EndMessage().text, L"一键备份个人资料成功！");
}

TEST_F(DataJobTest, RestoreWithoutDesktopBackupLeavesDesktopAloneAndSucceeds) {
    MakeFile(root + L"\\我的文档\\report.txt");
    MakeFile(desktop + L"\\mine.txt");
    page.SelectOnly({4, 5});
    Run(kDataRestore);

    EXPECT_EQ(view.activity,
              (std::vector<std::wstring>{L"正在获取还原信息. . .", L"正在还原[我的文档]. . .",
                                         L"正在还原[桌面]. . ."}));
    EXPECT_EQ(view.counts.front(), L"已还原：0/1");
    EXPECT_EQ(view.counts.back(), L"已备份：1/1") << "the per-file line says 已备份 both ways";
    EXPECT_TRUE(HasFileOf(documents + L"\\report.txt", root + L"\\我的文档\\report.txt"));
    EXPECT_EQ(Listing(desktop), std::vector<std::wstring>{L"mine.txt"});
    EXPECT_TRUE(HasFileOf(desktop + L"\\mine.txt", desktop + L"\\mine.txt"));
    EXPECT_EQ(EndMessage().text, L"一键还原个人资料成功！");
    EXPECT_EQ(EndMessage().type, kInfo);
}

TEST_F(DataJobTest, RestoreCountsEachFolderFromOneToItsOwnTotal) {
    MakeFile(root + L"\\桌面\\1.txt");
    MakeFile(root + L"\\桌面\\2.txt");
    for (const wchar_t* name : {L"\\a.url", L"\\b.url", L"\\c\\d.url"}) {
        MakeFile(root + L"\\收藏夹" + name);
    }
    page.SelectOnly({5, 6});
    Run(kDataRestore);

    EXPECT_EQ(view.counts,
              (std::vector<std::wstring>{L"已还原：0/0", L"已备份：1/2", L"已备份：2/2",
                                         L"已备份：1/3", L"已备份：3/3"}));
    EXPECT_TRUE(HasFileOf(favorites + L"\\c\\d.url", root + L"\\收藏夹\\c\\d.url"));
    EXPECT_TRUE(HasFileOf(desktop + L"\\2.txt", root + L"\\桌面\\2.txt"));
}

TEST_F(DataJobTest, RootThatCannotBeMadeEndsTheJobBeforeCopying) {
    MakeFile(documents + L"\\letter.txt");
    DWORD drives = GetLogicalDrives();
    wchar_t missing = L'Q';
    while (missing > L'D' && (drives & (1u << (missing - L'A')))) {
        --missing;
    }
    page.edits[L"BackUpDocPath_Edit"] = std::wstring(1, missing) + L":\\QMZDocBak\\Documents";
    Run(kDataBackup);
    EXPECT_EQ(EndMessage().text, L"创建备份文件夹失败！");
    EXPECT_EQ(EndMessage().caption, L"信息提示");
    EXPECT_EQ(EndMessage().type, kError);
    EXPECT_EQ(view.activity, std::vector<std::wstring>{L"正在获取备份信息. . ."});

    // A restore into shell folders below a file cannot make them either.
    MakeFile(base + L"\\blocker");
    shell.folders[CSIDL_DESKTOP] = base + L"\\blocker\\Desktop";
    Run(kDataRestore);
    EXPECT_EQ(EndMessage().text, L"创建还原文件夹失败！");
    EXPECT_EQ(EndMessage().type, kError);

    page.edits[L"RestoreDocPath_Edit"] = L"";
    Run(kDataRestore);
    EXPECT_EQ(EndMessage().text, L"请选择一个备份路径！");
    EXPECT_EQ(EndMessage().type, kError);
}

TEST_F(DataJobTest, RelativeRootWithTrailingSeparatorLandsInTheSameFolder) {
    MakeFile(desktop + L"\\a.txt");
    ASSERT_TRUE(SetCurrentDirectoryW(base.c_str()));
    page.edits[L"BackUpDocPath_Edit"] = L"backup\\";
    Run(kDataBackup);
    SetCurrentDirectoryW(L"C:\\");
    EXPECT_TRUE(HasFileOf(root + L"\\桌面\\a.txt", desktop + L"\\a.txt"));
    EXPECT_EQ(EndMessage().text, L"一键备份个人资料成功！");
}

// Another program holds the files open without sharing: they cannot be read.
TEST_F(DataJobTest, FilesThatCannotBeReadAreReportedNotClaimedAsCopied) {
    std::vector<HANDLE> held;
    for (int i = 1; i <= 6; ++i) {
        std::wstring file = documents + L"\\open" + std::to_wstring(i) + L".xls";
        MakeFile(file);
        held.push_back(CreateFileW(test::Long(file).c_str(), GENERIC_READ, 0, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
        ASSERT_NE(held.back(), INVALID_HANDLE_VALUE);
    }
    MakeFile(documents + L"\\free.txt");
    page.SelectOnly({1});
    Run(kDataBackup);
    for (HANDLE h : held) {
        CloseHandle(h);
    }

    EXPECT_EQ(view.counts.back(), L"已备份：7/7") << "every file was tried";
    EXPECT_TRUE(HasFileOf(root + L"\\我的文档\\free.txt", documents + L"\\free.txt"));
    const std::wstring text = EndMessage().text;
    EXPECT_EQ(EndMessage().type, kError);
    EXPECT_EQ(text.find(L"个人资料备份未完成：有 6 个文件未能复制。"), 0u) << Utf8(text);
    EXPECT_EQ(text.find(L"成功"), std::wstring::npos);
    int named = 0;
    for (int i = 1; i <= 6; ++i) {
        named +=
            text.find(documents + L"\\open" + std::to_wstring(i) + L".xls") != std::wstring::npos;
    }
    EXPECT_EQ(named, 5) << "the first five are named";
    EXPECT_NE(text.find(L"……"), std::wstring::npos) << "and the rest are announced";
}

TEST_F(DataJobTest, FolderThatCannotBeListedIsAFailure) {
    MakeFile(documents + L"\\ok.txt");
    page.SelectOnly({1});
    // Unlocatable shell folders of selected options are failures too.
    shell.folders.erase(CSIDL_FAVORITES);
    page.options[L"BackUpDoc_Op3"] = true;
    Run(kDataBackup);
    EXPECT_EQ(EndMessage().type, kError);
    EXPECT_NE(EndMessage().text.find(L"有 1 个文件夹无法读取或创建"), std::wstring::npos)
        << Utf8(EndMessage().text);
}

TEST_F(DataJobTest, SymbolicLinkLoopIsSkippedAndNamed) {
    MakeFile(documents + L"\\a\\file.txt");
    const std::wstring loop = documents + L"\\a\\loop";
    ASSERT_TRUE(test::RunUnix(L"Z:\\bin\\ln -s ../.. " + test::Wide(test::UnixPath(loop)),
                              [&] { return Attributes(loop) != INVALID_FILE_ATTRIBUTES; }));
    // What Wine 8 shows for a Unix link to a folder: a folder with the reparse point mark.
    ASSERT_EQ(Attributes(loop), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
    page.SelectOnly({1});
    Run(kDataBackup);

    EXPECT_EQ(view.counts.back(), L"已备份：1/1");
    EXPECT_TRUE(HasFileOf(root + L"\\我的文档\\a\\file.txt", documents + L"\\a\\file.txt"));
    EXPECT_EQ(Attributes(root + L"\\我的文档\\a\\loop"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(EndMessage().type, kInfo);
    EXPECT_EQ(EndMessage().text,
              L"一键备份个人资料成功！\n\n已跳过 1 个链接文件夹（未复制其中的内容）：\n" +
                  documents + L"\\a\\loop");
}

// A folder mounted below itself looks like any folder: only its identity gives it away.
TEST_F(DataJobTest, FolderThatIsItsOwnAncestorIsSkipped) {
    MakeFile(documents + L"\\a\\file.txt");
    MakeFolders(documents + L"\\a\\again");
    const std::wstring again = documents + L"\\a\\again";
    const std::wstring mount = L"Z:\\bin\\mount --bind " + test::Wide(test::UnixPath(documents)) +
                               L" " + test::Wide(test::UnixPath(again));
    if (!test::RunUnix(mount, [&] { return !Listing(again).empty(); })) {
        GTEST_SKIP() << "this machine does not let the test mount a folder";
    }
    mountedAt = again;
    ASSERT_EQ(Attributes(again), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY)) << "a plain folder";
    page.SelectOnly({1});
    Run(kDataBackup);

    EXPECT_EQ(view.counts.back(), L"已备份：1/1");
    EXPECT_TRUE(Listing(root + L"\\我的文档\\a\\again").empty());
    EXPECT_EQ(EndMessage().type, kInfo);
    EXPECT_NE(EndMessage().text.find(documents + L"\\a\\again"), std::wstring::npos)
        << Utf8(EndMessage().text);
}

TEST_F(DataJobTest, PathsLongerThanMaxPathAreCopied) {
    std::wstring deep = documents;
    while (deep.size() < 300) {
        deep += L"\\a-rather-long-folder-name";
    }
    MakeFile(deep + L"\\deep.txt");
    MakeFile(documents + L"\\shallow.txt");
    page.SelectOnly({1});
    Run(kDataBackup);

    const std::wstring copy = root + L"\\我的文档" + deep.substr(documents.size()) + L"\\deep.txt";
    ASSERT_GT(copy.size(), static_cast<size_t>(MAX_PATH));
    EXPECT_TRUE(HasFileOf(copy, deep + L"\\deep.txt"));
    EXPECT_EQ(view.counts.back(), L"已备份：2/2");
    EXPECT_EQ(EndMessage().text, L"一键备份个人资料成功！");
}

TEST_F(DataJobTest, CountLineFollowsAtMostThirtyTimesASecondAndEndsExact) {
    for (int i = 0; i < 400; ++i) {
        MakeFile(desktop + L"\\f" + std::to_wstring(i));
    }
    page.SelectOnly({2});
    const DWORD start = GetTickCount();
    Run(kDataBackup);
    const DWORD elapsed = GetTickCount() - start;

    EXPECT_EQ(view.counts.back(), L"已备份：400/400");
    // The first line, the first file, then one line per interval, then the final count.
    EXPECT_LE(view.counts.size(), 3 + elapsed / 33u) << "over " << elapsed << " ms";
    for (size_t i = 3; i + 1 < view.countTimes.size(); ++i) {
        EXPECT_GE(view.countTimes[i] - view.countTimes[i - 1], 30u) << "line " << i;
    }
}

TEST(LongPath, FormsForTheFileCalls) {
    EXPECT_EQ(ToLongPath(L"C:\\a\\\\b\\"), L"\\\\?\\C:\\a\\b");
    EXPECT_EQ(ToLongPath(L"C:\\"), L"\\\\?\\C:\\");
    EXPECT_EQ(ToLongPath(L"\\\\server\\share\\x"), L"\\\\?\\UNC\\server\\share\\x");
    EXPECT_EQ(ToDisplayPath(L"\\\\?\\UNC\\server\\share\\x"), L"\\\\server\\share\\x");
    EXPECT_EQ(LongPathRootLength(L"\\\\?\\UNC\\server\\share\\x"), 21u);
    EXPECT_EQ(ToLongPath(L""), L"");
}

}  // namespace
}  // namespace korvane

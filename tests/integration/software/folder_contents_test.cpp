// Emptying the software folder: what goes, what stays, and what it answers.
#include "software/folder_contents.h"

#include "software_test_support.h"

namespace korvane {
namespace {

using test::FileExists;
using test::WriteFileBytes;

class FolderContentsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(enginetest::ServerAvailable()) << "run through run-with-server";
        folder = test::FreshDataFolder() + L"\\SoftWareInfo";
        CreateDirectoryW(folder.c_str(), nullptr);
    }
    std::wstring folder;
};

TEST_F(FolderContentsTest, EverythingButDotNamesGoesAndTheFolderStays) {
    CreateDirectoryW((folder + L"\\sub").c_str(), nullptr);
    CreateDirectoryW((folder + L"\\sub\\deeper").c_str(), nullptr);
    CreateDirectoryW((folder + L"\\.git").c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(folder + L"\\plain.txt", "x"));
    ASSERT_TRUE(WriteFileBytes(folder + L"\\locked.txt", "x"));
    ASSERT_TRUE(WriteFileBytes(folder + L"\\sub\\deeper\\locked.jpg", "x"));
    ASSERT_TRUE(WriteFileBytes(folder + L"\\.keep", "x"));
    ASSERT_TRUE(WriteFileBytes(folder + L"\\.git\\HEAD", "x"));
    SetFileAttributesW((folder + L"\\locked.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW((folder + L"\\sub\\deeper\\locked.jpg").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW((folder + L"\\sub").c_str(), FILE_ATTRIBUTE_READONLY);

    EXPECT_EQ(DeleteFolderContents(folder), 1);
    EXPECT_TRUE(FileExists(folder));
    EXPECT_FALSE(FileExists(folder + L"\\plain.txt"));
    EXPECT_FALSE(FileExists(folder + L"\\locked.txt"));
    EXPECT_FALSE(FileExists(folder + L"\\sub"));
    EXPECT_TRUE(FileExists(folder + L"\\.keep"));
    EXPECT_TRUE(FileExists(folder + L"\\.git\\HEAD"));
}

TEST_F(FolderContentsTest, WhatCannotBeDeletedStaysAndTheRestGoes) {
    ASSERT_TRUE(WriteFileBytes(folder + L"\\in_use.txt", "x"));
    ASSERT_TRUE(WriteFileBytes(folder + L"\\free.txt", "x"));
    HANDLE held = CreateFileW((folder + L"\\in_use.txt").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(DeleteFolderContents(folder), 1);
    CloseHandle(held);
    EXPECT_TRUE(FileExists(folder + L"\\in_use.txt"));
    EXPECT_FALSE(FileExists(folder + L"\\free.txt"));
}

TEST_F(FolderContentsTest, AnswersWhetherTheFolderCouldBeListed) {
    EXPECT_EQ(DeleteFolderContents(L""), 0);
    EXPECT_EQ(DeleteFolderContents(folder + L"\\absent"), 0);
    EXPECT_EQ(DeleteFolderContents(folder), 1);  // empty, but listed
}

// A link inside the folder points at someone else's files: it goes, they stay.
TEST_F(FolderContentsTest, ALinkedFolderIsRemovedWithoutEmptyingItsTarget) {
    const std::wstring elsewhere = folder + L"\\..\\elsewhere";
    CreateDirectoryW(elsewhere.c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(elsewhere + L"\\precious.txt", "x"));
    // Looked up at run time: the program targets XP, which has no such call.
    using CreateLinkFn = BOOLEAN(WINAPI*)(LPCWSTR, LPCWSTR, DWORD);
    auto createLink = reinterpret_cast<CreateLinkFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "CreateSymbolicLinkW")));
    constexpr DWORD kDirectoryLink = 1;
    const std::wstring link = folder + L"\\link";
    if (!createLink || !createLink(link.c_str(), elsewhere.c_str(), kDirectoryLink) ||
        !(GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) ||
        !FileExists(link + L"\\precious.txt")) {
        GTEST_SKIP() << "no usable directory links here";
    }
    EXPECT_EQ(DeleteFolderContents(folder), 1);
    EXPECT_TRUE(FileExists(elsewhere + L"\\precious.txt"));
    EXPECT_FALSE(FileExists(folder + L"\\link"));
}

}  // namespace
}  // namespace korvane

// Option.ini through the real profile calls, in a folder of the test's own.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "settings/download_folder.h"
#include "settings/options_store.h"
#include "settings/server_addresses.h"

namespace korvane {
namespace {

struct FakeDrive {
    std::wstring root;
    UINT type;
    uint64_t freeBytes;
};

class FakeDrives : public DriveSource {
  public:
    explicit FakeDrives(std::vector<FakeDrive> drives, bool listable = true)
        : drives_(std::move(drives)), listable_(listable) {}
    bool ListRoots(std::vector<std::wstring>* roots) override {
        for (const FakeDrive& d : drives_) {
            roots->push_back(d.root);
        }
        return listable_;
    }
    UINT DriveType(const std::wstring& root) override { return Find(root).type; }
    bool IsUsb(const std::wstring&) override { return false; }
    uint64_t FreeBytes(const std::wstring& root) override { return Find(root).freeBytes; }

  private:
    const FakeDrive& Find(const std::wstring& root) {
        for (const FakeDrive& d : drives_) {
            if (d.root == root) {
                return d;
            }
        }
        ADD_FAILURE() << "unknown root";
        return drives_.front();
    }
    std::vector<FakeDrive> drives_;
    bool listable_;
};

// A folder that did not exist before: Wine reuses process ids between runs.
std::wstring UniqueTempFolder() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    for (DWORD attempt = GetTickCount();; ++attempt) {
        std::wstring folder = std::wstring(temp) + L"korvane-options-" +
                              std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(attempt);
        if (CreateDirectoryW(folder.c_str(), nullptr)) {
            return folder;
        }
    }
}

std::string FileBytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out << bytes;
}

class OptionsStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        appData_ = UniqueTempFolder() + L"\\QMZXT";
        path_ = GetOptionsFilePath(appData_);
    }
    std::wstring appData_;
    std::wstring path_;
};

TEST_F(OptionsStoreTest, PathIsInTheApplicationDataFolderWhichIsCreated) {
    EXPECT_EQ(appData_ + L"\\Option.ini", path_);
    DWORD attributes = GetFileAttributesW(appData_.c_str());
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    // The file itself appears only with the first write.
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path_.c_str()));
}

TEST_F(OptionsStoreTest, RoamingPathEndsWithOurFolder) {
    std::wstring path = GetOptionsFilePath(static_cast<HWND>(nullptr));
    ASSERT_GT(path.size(), 17u);
    EXPECT_EQ(L"\\QMZXT\\Option.ini", path.substr(path.size() - 17));
    std::wstring folder = path.substr(0, path.size() - 11);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(folder.c_str()));
}

TEST_F(OptionsStoreTest, MissingFileSectionOrKeyReadsEmpty) {
    OptionsStore store(path_);
    EXPECT_EQ(L"", store.ReadOption(L"Set", L"Dir"));
    store.WriteOption(L"Download", L"Url", L"http://127.0.0.1/a.GHO");
    EXPECT_EQ(L"", store.ReadOption(L"Set", L"Dir"));
    EXPECT_EQ(L"", store.ReadOption(L"Download", L"FileName"));
    EXPECT_EQ(L"http://127.0.0.1/a.GHO", store.ReadOption(L"Download", L"Url"));
}

TEST_F(OptionsStoreTest, LongValueComesBackCutTo259) {
    OptionsStore store(path_);
    std::wstring longValue;
    for (int i = 0; i < 300; ++i) {
        longValue += static_cast<wchar_t>(L'a' + i % 26);
    }
    store.WriteOption(L"Set", L"Dir", longValue);
    EXPECT_EQ(longValue.substr(0, 259), store.ReadOption(L"Set", L"Dir"));
    store.WriteOption(L"Set", L"Dir", longValue.substr(0, 259));
    EXPECT_EQ(longValue.substr(0, 259), store.ReadOption(L"Set", L"Dir"));
}

TEST_F(OptionsStoreTest, ChineseTextAndEmptyValuesSurvive) {
    OptionsStore store(path_);
    store.WriteOption(L"Set", L"Dir", L"E:\\系统镜像");
    store.WriteOption(L"Download", L"Size1", L"12.50MB");
    store.WriteOption(L"Download", L"Size1", L"");
    EXPECT_EQ(L"E:\\系统镜像", store.ReadOption(L"Set", L"Dir"));
    EXPECT_EQ(L"", store.ReadOption(L"Download", L"Size1"));
    // A cleared size key stays in the file with an empty value.
    EXPECT_NE(std::string::npos, FileBytes(path_).find("Size1="));
}

TEST(OptionsStoreWithoutPath, ReadsEmptyAndWritesNothing) {
    OptionsStore store(L"");
    store.WriteOption(L"Set", L"Dir", L"E:\\QMZ");
    EXPECT_EQ(L"", store.ReadOption(L"Set", L"Dir"));
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES,
              GetFileAttributesW((std::wstring(windows) + L"\\.ini").c_str()));
}

TEST_F(OptionsStoreTest, FirstStartOnTheSystemDriveGivesDAndWritesTheFile) {
    OptionsStore store(path_);
    FakeDrives drives({{L"C:\\", DRIVE_FIXED, 900}, {L"E:\\", DRIVE_FIXED, 500}});
    EXPECT_EQ(L"D:\\QMZ", LoadDownloadFolder(store, drives, L"c:"));
    EXPECT_EQ(L"D:\\QMZ", DownloadFolder());
    EXPECT_NE(std::string::npos, FileBytes(path_).find("Dir=D:\\QMZ"));
}

TEST_F(OptionsStoreTest, FirstStartTakesTheLargestDataDrive) {
    OptionsStore store(path_);
    FakeDrives drives(
        {{L"C:\\", DRIVE_FIXED, 100}, {L"E:\\", DRIVE_FIXED, 500}, {L"F:\\", DRIVE_CDROM, 900}});
    EXPECT_EQ(L"E:\\QMZ", LoadDownloadFolder(store, drives, L"C:"));
    EXPECT_EQ(L"E:\\QMZ", store.ReadOption(L"Set", L"Dir"));
    EXPECT_EQ(L"E:\\", DefaultDataRoot(drives, L"C:"));
}

TEST_F(OptionsStoreTest, NoDrivesGiveTheBareFolderName) {
    OptionsStore store(path_);
    FakeDrives none({});
    EXPECT_EQ(L"QMZ", LoadDownloadFolder(store, none, L"C:"));
    EXPECT_EQ(L"QMZ", store.ReadOption(L"Set", L"Dir"));

    FakeDrives unreadable({{L"E:\\", DRIVE_FIXED, 500}}, false);
    EXPECT_EQ(L"", DefaultDataRoot(unreadable, L"C:"));
    EXPECT_EQ(L"QMZ", DefaultDownloadFolder(L""));
}

TEST_F(OptionsStoreTest, StoredFolderIsUsedAsItIsWithoutTrimming) {
    // Hand-written file: blanks and quotes around the value, a drive root with its "\".
    // The profile read drops blanks and quotes, so only the write-back at start-up turns
    // the raw line into "Dir=G:\".
    WriteBytes(path_, "[Set]\r\nDir =  \"G:\\\"  \r\n[Download]\r\nStaus=1\r\n");
    OptionsStore store(path_);
    FakeDrives drives({{L"C:\\", DRIVE_FIXED, 100}, {L"E:\\", DRIVE_FIXED, 500}});
    EXPECT_EQ(L"G:\\", LoadDownloadFolder(store, drives, L"C:"));
    EXPECT_EQ(L"G:\\", DownloadFolder());
    EXPECT_EQ(L"G:\\", store.ReadOption(L"Set", L"Dir"));
    EXPECT_EQ(L"1", store.ReadOption(L"Download", L"Staus"));
    std::string bytes = FileBytes(path_);
    EXPECT_NE(std::string::npos, bytes.find("Dir=G:\\\r\n")) << bytes;
    EXPECT_EQ(std::string::npos, bytes.find("\"G:")) << "the stored line was not written back";
}

TEST(DownloadFolderTrim, OnlyADriveRootLosesItsBackslash) {
    EXPECT_EQ(L"E:", TrimFolderValue(L"E:\\"));
    EXPECT_EQ(L"E:\\QMZ", TrimFolderValue(L"E:\\QMZ"));
    EXPECT_EQ(L"E:", TrimFolderValue(L"E:"));
}

// The compiled-in servers all live under one domain; Option.ini may point each elsewhere,
// but only at a web address: a local path or another scheme keeps the default.
TEST_F(OptionsStoreTest, ServerAddressesDefaultToOneDomainAndTakeOnlyWebOverrides) {
    const ServerAddresses defaults = DefaultServerAddresses();
    EXPECT_EQ(defaults.imageCatalogue, L"http://www.korvane.com/yjhy/qmzgho.ini");
    EXPECT_EQ(defaults.softwareCatalogue, L"http://www.korvane.com:90/SoftWareInfo.zip");
    EXPECT_EQ(defaults.homePage, L"https://www.korvane.com/");
    EXPECT_EQ(defaults.pePage, L"http://www.korvane.com/soft/pe/");

    OptionsStore store(path_);
    const ServerAddresses none = LoadServerAddresses(store);
    EXPECT_EQ(none.imageCatalogue, defaults.imageCatalogue);
    EXPECT_EQ(none.pePage, defaults.pePage);

    store.WriteOption(L"Server", L"ImageCatalogue", L"http://127.0.0.1:8080/yjhy/qmzgho.ini");
    store.WriteOption(L"Server", L"SoftwareCatalogue", L"HTTPS://mirror.example/s.zip");
    store.WriteOption(L"Server", L"HomePage", L"C:\\Windows\\notepad.exe");
    store.WriteOption(L"Server", L"PePage", L"file:///C:/pe.html");
    const ServerAddresses mixed = LoadServerAddresses(store);
    EXPECT_EQ(mixed.imageCatalogue, L"http://127.0.0.1:8080/yjhy/qmzgho.ini");
    EXPECT_EQ(mixed.softwareCatalogue, L"HTTPS://mirror.example/s.zip");
    EXPECT_EQ(mixed.homePage, defaults.homePage);
    EXPECT_EQ(mixed.pePage, defaults.pePage);

    store.WriteOption(L"Server", L"PePage", L"http://");
    EXPECT_EQ(LoadServerAddresses(store).pePage, defaults.pePage) << "no host";
}

}  // namespace
}  // namespace korvane

// The software catalogue job against the loopback test server: the page it fills, what a
// damaged or missing archive leaves, hostile entry names, and the click on a button.
#include "software/software_catalogue.h"

#include "software_test_support.h"
#include "tests/support/recording_opener.h"
#include "ui/render.h"

namespace korvane {
namespace {

using test::FileExists;
using test::ReadFileBytes;
using test::RecordingPage;
using test::Serve;
using test::WriteFileBytes;
namespace et = enginetest;

class SoftwareCatalogueTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(et::ServerAvailable()) << "run through run-with-server";
        ASSERT_FALSE(test::Picture().empty());
        dataFolder = test::FreshDataFolder();
        softwareFolder = dataFolder + L"\\SoftWareInfo";
    }

    void Fetch(const std::wstring& url) {
        FetchSoftwareCatalogue(SoftwareCatalogueJob{page, dataFolder, url});
    }

    void FetchArchive(const ui_core_test::ZipWriter& zip) {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        Fetch(Serve(name + ".zip", test::Text(zip.Build())));
    }

    std::wstring Picture(int number, int which) const {
        return softwareFolder + L"\\Soft" + std::to_wstring(number) + L"_" +
               std::to_wstring(which) + L".jpg";
    }

    RecordingPage page;
    std::wstring dataFolder, softwareFolder;
};

TEST_F(SoftwareCatalogueTest, AFullArchiveFillsEveryButtonInOrder) {
    ui_core_test::ZipWriter zip;
    test::AddCatalogue(&zip, test::AllKeys());
    FetchArchive(zip);

    std::vector<int> expected = test::AllKeys();
    EXPECT_EQ(page.Order(), expected);
    for (int n = 1; n <= kSoftwareButtonCount; ++n) {
        const test::FilledButton button = page.Button(n);
        EXPECT_EQ(button.target, L"http://soft.example/" + std::to_wstring(n));
        EXPECT_EQ(button.normalImage, Picture(n, 1));
        EXPECT_EQ(button.hotImage, Picture(n, 2));
        EXPECT_EQ(ReadFileBytes(button.normalImage), test::Picture());
    }
    EXPECT_TRUE(FileExists(dataFolder + L"\\SoftWareInfo.zip"));
}

// The buttons get full paths outside the skin archive: the framework's image cache must
// load them from disk as they are, and read them as plain file names.
TEST_F(SoftwareCatalogueTest, TheFilledPicturesLoadThroughTheFramework) {
    ui_core_test::ZipWriter zip;
    test::AddCatalogue(&zip, {1});
    FetchArchive(zip);

    const std::wstring hot = page.Button(1).hotImage;
    ASSERT_FALSE(hot.empty());
    const DuiLib::ParsedImage& parsed = DuiLib::render::ParseImageAttribute(hot);
    ASSERT_TRUE(parsed.ok);
    EXPECT_EQ(parsed.file, hot);
    DuiLib::ImageCache images;
    const DuiLib::ImageData* image = images.Get(parsed.file);
    EXPECT_TRUE(image->ok) << image->error;
    EXPECT_EQ(image->width, 8);
}

TEST_F(SoftwareCatalogueTest, AMissingKeyGivesAnEmptyTargetButThePictures) {
    std::vector<int> keys = test::AllKeys();
    keys.erase(keys.begin() + 6);  // key "7"
    ui_core_test::ZipWriter zip;
    test::AddCatalogue(&zip, keys);
    FetchArchive(zip);

    ASSERT_EQ(page.Order().size(), 16u);
    EXPECT_EQ(page.Button(7).target, L"");
    EXPECT_EQ(page.Button(7).normalImage, Picture(7, 1));
    EXPECT_EQ(page.Button(7).hotImage, Picture(7, 2));
    EXPECT_EQ(page.Button(8).target, L"http://soft.example/8");
}

TEST_F(SoftwareCatalogueTest, ALongTargetIsCutTo259Characters) {
    const std::wstring longTarget = L"http://soft.example/" + std::wstring(400, L'a');
    ui_core_test::ZipWriter zip;
    zip.Add("SoftWareInfo.ini", test::IniBytes(L"[KRXT]\r\n1=" + longTarget + L"\r\n"));
    FetchArchive(zip);
    EXPECT_EQ(page.Button(1).target, longTarget.substr(0, 259));
}

TEST_F(SoftwareCatalogueTest, NoUsableArchiveLeavesThePageUnfilled) {
    ui_core_test::ZipWriter good;
    test::AddCatalogue(&good, test::AllKeys());
    std::string truncated = test::Text(good.Build());
    truncated.resize(truncated.size() / 2);
    ui_core_test::ZipWriter withoutIni;
    withoutIni.Add("Soft1_1.jpg", test::Picture());

    Fetch(et::ServerUrl("missing.zip"));  // 404, whose page urlmon may still save
    Fetch(Serve("garbage.zip", "this is not a zip archive"));
    Fetch(Serve("truncated.zip", truncated));
    Fetch(Serve("noini.zip", test::Text(withoutIni.Build())));
    Fetch(L"http://127.0.0.1:1/SoftWareInfo.zip");  // nobody listens

    EXPECT_TRUE(page.Order().empty());
    EXPECT_FALSE(FileExists(softwareFolder + L"\\SoftWareInfo.ini"));
    // The direct call answers why nothing was filled.
    EXPECT_FALSE(FillSoftwarePage(page, dataFolder, dataFolder + L"\\absent.zip"));
    EXPECT_FALSE(FillSoftwarePage(page, L"", dataFolder + L"\\SoftWareInfo.zip"));
}

TEST_F(SoftwareCatalogueTest, HostileEntriesAreRefusedAndTheRestUnpacks) {
    ui_core_test::ZipWriter zip;
    test::AddCatalogue(&zip, test::AllKeys());
    for (const char* name :
         {"../korvane_escape_1", "C:\\korvane_escape_2", "\\korvane_escape_3", "/korvane_escape_4",
          "a/../../korvane_escape_5", "..\\..\\korvane_escape_6", "SoftWareInfo.ini.",
          "Soft1_1.jpg ", "Soft2_1.jpg:stream"}) {
        zip.Add(name, "hostile", false);
    }
    zip.Add("nested/deeper/file.txt", "nested");
    zip.Add("empty/", "", false);
    FetchArchive(zip);

    EXPECT_EQ(page.Order().size(), 16u);  // the honest entries still count
    EXPECT_EQ(page.Button(1).target, L"http://soft.example/1");
    EXPECT_EQ(ReadFileBytes(Picture(1, 1)), test::Picture());
    EXPECT_EQ(ReadFileBytes(Picture(2, 1)), test::Picture());
    EXPECT_EQ(ReadFileBytes(softwareFolder + L"\\nested\\deeper\\file.txt"), "nested");
    EXPECT_EQ(GetFileAttributesW((softwareFolder + L"\\empty").c_str()) & FILE_ATTRIBUTE_DIRECTORY,
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));

    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    const std::wstring places[] = {softwareFolder,           dataFolder, dataFolder + L"\\..",
                                   dataFolder + L"\\..\\..", L"C:",      std::wstring(current, 2)};
    for (const std::wstring& place : places) {
        for (int i = 1; i <= 6; ++i) {
            const std::wstring path = place + L"\\korvane_escape_" + std::to_wstring(i);
            EXPECT_FALSE(FileExists(path)) << test::Utf8(path);
        }
    }
}

TEST_F(SoftwareCatalogueTest, OldFilesAreGoneAfterTheNextStartWhateverTheDownload) {
    ui_core_test::ZipWriter zip;
    test::AddCatalogue(&zip, {1});
    const std::wstring url = Serve("catalogue.zip", test::Text(zip.Build()));
    const std::wstring failing = L"http://127.0.0.1:1/SoftWareInfo.zip";  // nobody listens
    const std::wstring old = softwareFolder + L"\\Soft17_1.jpg";
    for (const std::wstring& next : {failing, url}) {
        CreateDirectoryW(softwareFolder.c_str(), nullptr);
        ASSERT_TRUE(WriteFileBytes(old, "from an older catalogue"));
        ASSERT_TRUE(WriteFileBytes(softwareFolder + L"\\.keep", "stays"));
        Fetch(next);
        EXPECT_FALSE(FileExists(old)) << test::Utf8(next);
        EXPECT_EQ(ReadFileBytes(softwareFolder + L"\\.keep"), "stays");
    }
    EXPECT_EQ(page.Order().size(), 16u);  // only the good download filled the page
}

// Removes a folder of plain files (what a job that got no data folder would unpack).
void RemoveFlatFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE listing = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (listing != INVALID_HANDLE_VALUE) {
        do {
            test::RemoveFile(folder + L"\\" + found.cFileName);
        } while (FindNextFileW(listing, &found));
        FindClose(listing);
    }
    RemoveDirectoryW(folder.c_str());
}

// Without a data folder the software folder would be "\SoftWareInfo" at the drive's root.
TEST_F(SoftwareCatalogueTest, NoDataFolderTouchesNothing) {
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    SetCurrentDirectoryW(L"C:\\");
    test::RemoveFile(L"C:\\SoftWareInfo.zip");
    CreateDirectoryW(L"C:\\SoftWareInfo", nullptr);
    ASSERT_TRUE(WriteFileBytes(L"C:\\SoftWareInfo\\someone_elses.txt", "keep"));
    ui_core_test::ZipWriter zip;
    test::AddCatalogue(&zip, {1});
    FetchSoftwareCatalogue(
        SoftwareCatalogueJob{page, L"", Serve("nofolder.zip", test::Text(zip.Build()))});
    const bool kept = FileExists(L"C:\\SoftWareInfo\\someone_elses.txt");
    const bool downloaded = FileExists(L"C:\\SoftWareInfo.zip");
    test::RemoveFile(L"C:\\SoftWareInfo.zip");
    RemoveFlatFolder(L"C:\\SoftWareInfo");
    SetCurrentDirectoryW(current);
    EXPECT_TRUE(kept);
    EXPECT_TRUE(page.Order().empty());
    EXPECT_FALSE(downloaded);
}

TEST(SoftwareTargetTest, OnlyWebAddressesAreOpened) {
    test::RecordingOpener opener;
    EXPECT_TRUE(OpenSoftwareTarget(L"http://soft.example/1", opener));
    EXPECT_TRUE(OpenSoftwareTarget(L"HTTPS://soft.example/2", opener));
    for (const wchar_t* target :
         {L"", L"C:\\Windows\\notepad.exe", L"notepad.exe", L"Soft1_1.jpg",
          L"file:///C:/Windows/notepad.exe", L"ftp://soft.example/x", L"mailto:a@b.c",
          L"\\\\host\\share\\setup.exe", L"http://", L"javascript:alert(1)"}) {
        EXPECT_FALSE(OpenSoftwareTarget(target, opener)) << target;
    }
    const std::vector<std::wstring> opened = {L"http://soft.example/1", L"HTTPS://soft.example/2"};
    EXPECT_EQ(opener.Opened(), opened);
}

}  // namespace
}  // namespace korvane

// Which archive entry names may be unpacked below the software folder, and where.
#include "software/entry_place.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

std::wstring PathOf(std::wstring_view name) {
    const std::optional<EntryPlace> place = PlaceOfEntry(name);
    return place ? place->relativePath : L"<refused>";
}

TEST(EntryPlaceTest, PlainAndNestedNamesStayBelowTheFolder) {
    EXPECT_EQ(PathOf(L"SoftWareInfo.ini"), L"SoftWareInfo.ini");
    EXPECT_EQ(PathOf(L"pics/Soft1_1.jpg"), L"pics\\Soft1_1.jpg");
    EXPECT_EQ(PathOf(L"a\\b/c.txt"), L"a\\b\\c.txt");
    EXPECT_EQ(PathOf(L"a//./b.txt"), L"a\\b.txt");
    EXPECT_EQ(PathOf(L"软件/说明.txt"), L"软件\\说明.txt");
    EXPECT_EQ(PathOf(L".hidden"), L".hidden");
    EXPECT_EQ(PathOf(L"console.txt"), L"console.txt");
    EXPECT_EQ(PathOf(L"COM10"), L"COM10");
}

TEST(EntryPlaceTest, DirectoryEntriesAreFolders) {
    const std::optional<EntryPlace> folder = PlaceOfEntry(L"pics/sub/");
    ASSERT_TRUE(folder);
    EXPECT_TRUE(folder->isFolder);
    EXPECT_EQ(folder->relativePath, L"pics\\sub");
    EXPECT_TRUE(PlaceOfEntry(L"pics\\")->isFolder);
    EXPECT_FALSE(PlaceOfEntry(L"pics/a.jpg")->isFolder);
}

TEST(EntryPlaceTest, NamesThatLeaveTheFolderAreRefused) {
    for (const wchar_t* name :
         {L"../x", L"..\\x", L"a/../../x", L"a\\..\\x", L"..", L"a/..", L"/x", L"\\x",
          L"\\\\host\\share\\x", L"//host/share/x", L"C:\\x", L"C:x", L"c:/x", L"x:"}) {
        EXPECT_FALSE(PlaceOfEntry(name)) << name;
    }
}

TEST(EntryPlaceTest, NamesWindowsWouldReinterpretAreRefused) {
    for (const wchar_t* name :
         {L"",      L"/",        L"./",   L"a.txt:stream", L"con",      L"CON.txt",
          L"a/nul", L"Aux .jpg", L"prn",  L"COM1",         L"lpt9.log", L"CONOUT$",
          L"x.",    L"x ",       L"a./b", L"...",          L"a\x01b",   L"a?b",
          L"a*b",   L"a<b",      L"a|b",  L"a\"b"}) {
        EXPECT_FALSE(PlaceOfEntry(name)) << name;
    }
    EXPECT_FALSE(PlaceOfEntry(std::wstring_view(L"a\0b", 3)));
}

}  // namespace
}  // namespace korvane

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "reinstall/task_records.h"

namespace korvane {
namespace {

using namespace xldl;

std::wstring TextAt(const std::vector<unsigned char>& record, size_t offset) {
    std::wstring text;
    for (size_t i = offset; i + 1 < record.size(); i += 2) {
        wchar_t c = static_cast<wchar_t>(record[i] | (record[i + 1] << 8));
        if (c == 0) {
            break;
        }
        text += c;
    }
    return text;
}

std::int32_t Int32At(const std::vector<unsigned char>& record, size_t offset) {
    std::int32_t value;
    std::memcpy(&value, record.data() + offset, 4);
    return value;
}

// Zeroes a text with its terminator, so that what remains must be all zero.
void Erase(std::vector<unsigned char>& record, size_t offset, size_t chars) {
    std::memset(record.data() + offset, 0, (chars + 1) * 2);
}

TEST(TaskParamRecord, TextsAndFixedValuesAtTheirOffsetsAndZeroElsewhere) {
    const std::wstring url = L"http://127.0.0.1:8080/gho/Win7_64.GHO";
    const std::wstring name = L"Win7_64.GHO";
    const std::wstring folder = L"E:\\系统镜像";
    std::vector<unsigned char> record;
    ASSERT_TRUE(BuildTaskParamRecord(url, name, folder, &record));
    ASSERT_EQ(26564u, record.size());

    EXPECT_EQ(url, TextAt(record, 4));
    EXPECT_EQ(name, TextAt(record, 16532));
    EXPECT_EQ(folder, TextAt(record, 17572));
    // Little-endian UTF-16: 系 is U+7CFB.
    EXPECT_EQ(0xFB, record[17572 + 6]);
    EXPECT_EQ(0x7C, record[17572 + 7]);
    EXPECT_EQ(5, Int32At(record, 18360));
    EXPECT_EQ(1, Int32At(record, 18368));

    Erase(record, 4, url.size());
    Erase(record, 16532, name.size());
    Erase(record, 17572, folder.size());
    std::memset(record.data() + 18360, 0, 4);
    std::memset(record.data() + 18368, 0, 4);
    EXPECT_EQ(std::vector<unsigned char>(26564, 0), record);
}

TEST(TaskParamRecord, TextsMustFitTheirSlots) {
    EXPECT_EQ(259u, MaxTaskFileNameChars());
    EXPECT_EQ(259u, MaxTaskSaveFolderChars());
    EXPECT_GE(MaxTaskUrlChars(), 259u);

    const std::wstring url = L"http://h/a.GHO";
    std::vector<unsigned char> record;
    EXPECT_TRUE(
        BuildTaskParamRecord(url, std::wstring(259, L'n'), std::wstring(259, L'f'), &record));
    // The last unit of each slot holds the terminator, so the next field stays intact.
    EXPECT_EQ(0, record[16532 + 259 * 2]);
    EXPECT_EQ(0, record[17572 + 259 * 2]);
    EXPECT_EQ(0, Int32At(record, 18096));

    EXPECT_FALSE(BuildTaskParamRecord(url, std::wstring(260, L'n'), L"D:\\QMZ", &record));
    EXPECT_TRUE(record.empty());
    EXPECT_FALSE(BuildTaskParamRecord(url, L"a.GHO", std::wstring(260, L'f'), &record));
    EXPECT_FALSE(BuildTaskParamRecord(L"http://h/" + std::wstring(MaxTaskUrlChars(), L'u'),
                                      L"a.GHO", L"D:\\QMZ", &record));
    EXPECT_TRUE(
        BuildTaskParamRecord(std::wstring(MaxTaskUrlChars(), L'u'), L"a.GHO", L"D:\\QMZ", &record));
    EXPECT_FALSE(BuildTaskParamRecord(L"", L"a.GHO", L"D:\\QMZ", &record));
    EXPECT_FALSE(BuildTaskParamRecord(url, L"", L"D:\\QMZ", &record));
    EXPECT_FALSE(BuildTaskParamRecord(url, L"a.GHO", L"", &record));
}

TEST(TaskInfoRecord, PreparedRecordReadsAsNotTransferring) {
    TaskInfoRecord info;
    auto* bytes = static_cast<unsigned char*>(info.Data());
    std::memset(bytes, 0xAB, kTaskInfoSize);
    info.Prepare();
    EXPECT_EQ(2, info.State());
    EXPECT_EQ(0, info.FailureCode());
    EXPECT_EQ(L"", info.FileName());
    EXPECT_EQ(0, info.TotalBytes());
    for (size_t i = 4; i < kTaskInfoSize; ++i) {
        ASSERT_EQ(0, bytes[i]) << i;
    }
}

TEST(TaskInfoRecord, FieldsAreReadAtTheEngineOffsets) {
    TaskInfoRecord info;
    auto* bytes = static_cast<unsigned char*>(info.Data());
    std::int32_t state = 1, failure = 1, speed = 900000;
    std::int64_t total = 4294967296LL, done = 1048575;
    float fraction = 0.25f;
    std::memcpy(bytes + 0, &state, 4);
    std::memcpy(bytes + 4, &failure, 4);
    std::memcpy(bytes + 8, L"Win10.GHO", 20);
    std::memcpy(bytes + 1048, &total, 8);
    std::memcpy(bytes + 1056, &done, 8);
    std::memcpy(bytes + 1064, &fraction, 4);
    std::memcpy(bytes + 1152, &speed, 4);
    EXPECT_EQ(1, info.State());
    EXPECT_EQ(1, info.FailureCode());
    EXPECT_EQ(L"Win10.GHO", info.FileName());
    EXPECT_EQ(total, info.TotalBytes());
    EXPECT_EQ(done, info.DownloadedBytes());
    EXPECT_EQ(0.25f, info.Fraction());
    EXPECT_EQ(900000, info.SpeedBytesPerSecond());
}

TEST(TaskInfoRecord, FileNameWithoutTerminatorStopsAtItsSlot) {
    TaskInfoRecord info;
    auto* bytes = static_cast<unsigned char*>(info.Data());
    for (size_t i = 8; i < 1048; i += 2) {
        bytes[i] = 'a';
        bytes[i + 1] = 0;
    }
    EXPECT_EQ(std::wstring(kInfoFileNameMaxChars, L'a'), info.FileName());
}

}  // namespace
}  // namespace korvane

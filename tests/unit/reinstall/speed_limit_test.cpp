#include <gtest/gtest.h>

#include "reinstall/speed_limit.h"

namespace korvane {
namespace {

TEST(ParseSpeedLimit, ReadsLeadingDigitsAfterBlanks) {
    EXPECT_EQ(512, ParseSpeedLimit(L" 512abc"));
    EXPECT_EQ(100000, ParseSpeedLimit(L"100000"));
    EXPECT_EQ(42, ParseSpeedLimit(L"\t\r\n 42 7"));
    EXPECT_EQ(7, ParseSpeedLimit(L"+7"));
    EXPECT_EQ(12, ParseSpeedLimit(L"0012"));
}

TEST(ParseSpeedLimit, NoDigitsGiveNoLimit) {
    EXPECT_EQ(0, ParseSpeedLimit(L""));
    EXPECT_EQ(0, ParseSpeedLimit(L"   "));
    EXPECT_EQ(0, ParseSpeedLimit(L"abc512"));
    EXPECT_EQ(0, ParseSpeedLimit(L"-5"));
    EXPECT_EQ(0, ParseSpeedLimit(L"５１２"));  // full-width digits are not decimal digits
}

TEST(ParseSpeedLimit, LargeValuesStopAtTheLargest32BitValue) {
    EXPECT_EQ(2147483647, ParseSpeedLimit(L"2147483647"));
    EXPECT_EQ(2147483647, ParseSpeedLimit(L"2147483648"));
    EXPECT_EQ(2147483647, ParseSpeedLimit(L"99999999999999999999"));
}

}  // namespace
}  // namespace korvane

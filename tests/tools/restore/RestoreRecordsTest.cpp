// The number check of the record set: what "%d" of a 32-bit value can produce, and nothing else.
#include "RestoreRecords.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct NumberRow {
    const char* pszText;
    bool bValid;
    DWORD dwValue;
};

TEST(RestoreRecordsTest, ParseRecordNumberAcceptsSigned32BitDecimalOnly) {
    const NumberRow rows[] = {
        {"0", true, 0},
        {"128", true, 128},
        {"-1", true, 0xFFFFFFFFu},
        {"2147483647", true, 0x7FFFFFFFu},
        {"-2147483648", true, 0x80000000u},
        {"0012", true, 12},
        {"2147483648", false, 0},
        {"-2147483649", false, 0},
        {"4294967295", false, 0},
        {"99999999999999999999", false, 0},
        {"", false, 0},
        {"-", false, 0},
        {"+1", false, 0},
        {" 1", false, 0},
        {"1 ", false, 0},
        {"1e3", false, 0},
        {"0x10", false, 0},
        {"--1", false, 0},
    };
    for (const NumberRow& row : rows) {
        DWORD dwValue = 0xDEADBEEF;
        EXPECT_EQ(row.bValid, restore::ParseRecordNumber(row.pszText, &dwValue)) << row.pszText;
        EXPECT_EQ(row.bValid ? row.dwValue : 0xDEADBEEF, dwValue) << row.pszText;
    }
}

} // namespace

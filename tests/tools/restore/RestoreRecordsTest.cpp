// The number check of the record set: what "%d" of a 32-bit value can produce, and nothing else.
#include "RestoreRecords.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct NumberRow {
    const char* pszText;
    DWORD dwValue;
};

TEST(RestoreRecordsTest, ParseRecordNumberAcceptsSigned32BitDecimalOnly) {
    const NumberRow valid[] = {
        {"0", 0},
        {"128", 128},
        {"-1", 0xFFFFFFFFu},
        {"2147483647", 0x7FFFFFFFu},
        {"-2147483648", 0x80000000u},
        {"0012", 12},
    };
    for (const NumberRow& row : valid) {
        DWORD dwValue = 0xDEADBEEF;
        EXPECT_TRUE(restore::ParseRecordNumber(row.pszText, &dwValue)) << row.pszText;
        EXPECT_EQ(row.dwValue, dwValue) << row.pszText;
    }
    // Refused, and the value is left as it was.
    for (const char* pszText : {"2147483648", "-2147483649", "4294967295", "99999999999999999999",
                                "", "-", "+1", " 1", "1 ", "1e3", "0x10", "--1"}) {
        DWORD dwValue = 0xDEADBEEF;
        EXPECT_FALSE(restore::ParseRecordNumber(pszText, &dwValue)) << pszText;
        EXPECT_EQ(0xDEADBEEF, dwValue) << pszText;
    }
}

} // namespace

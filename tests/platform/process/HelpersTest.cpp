#include "platform/ascii.h"
#include "platform/posix_errors.h"

#include <gtest/gtest.h>

namespace {

TEST(WindowsErrorFromErrno, GivesTheCodeOfEachKnownErrnoAndTheCallersOtherwise) {
    const struct {
        int err;
        LONG code;
    } rows[] = {
        {ENOENT, ERROR_FILE_NOT_FOUND},
        {ENOTDIR, ERROR_PATH_NOT_FOUND},
        {EACCES, ERROR_ACCESS_DENIED},
        {EPERM, ERROR_ACCESS_DENIED},
        {EROFS, ERROR_ACCESS_DENIED},
        {EISDIR, ERROR_ACCESS_DENIED},
        {ENOEXEC, ERROR_BAD_EXE_FORMAT},
        {ELIBBAD, ERROR_BAD_EXE_FORMAT},
        {ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE},
        {E2BIG, ERROR_FILENAME_EXCED_RANGE},
        {ETXTBSY, ERROR_SHARING_VIOLATION},
        {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
        {EAGAIN, ERROR_NOT_ENOUGH_MEMORY},
        {EIO, 12345},
        {0, 12345},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.code, platform::WindowsErrorFromErrno(row.err, 12345)) << row.err;
    }
}

TEST(AsciiCase, FoldsOnlyTheAsciiLettersAndComparesCaseAside) {
    const struct {
        const char* a;
        const char* b;
        int order; // of a against b, case aside
    } rows[] = {
        {"Sky.Vane", "SKY.VANE", 0},
        {"abc", "abd", -1},
        {"ABD", "abc", 1},
        {"ab", "ABC", -1},
        {"", "", 0},
        {"[", "a", -1},
        {"@", "`", -1},
        {"\xC0", "\xE0", -1},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.order, platform::CompareAsciiNoCase(row.a, row.b)) << row.a << " " << row.b;
        EXPECT_EQ(-row.order, platform::CompareAsciiNoCase(row.b, row.a)) << row.a;
        EXPECT_EQ(row.order == 0, platform::EqualsAsciiNoCase(row.a, row.b)) << row.a;
    }
    EXPECT_EQ("mixed case 1@[`{\xC0", platform::AsciiLowered("MiXeD CaSe 1@[`{\xC0"));
    EXPECT_EQ("MIXED CASE 1@[`{\xE0", platform::AsciiUppered("MiXeD CaSe 1@[`{\xE0"));
}

} // namespace

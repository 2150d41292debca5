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

} // namespace

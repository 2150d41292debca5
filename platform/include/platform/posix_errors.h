// errno turned into a Windows error code: the one table of the Linux backends (a process that
// cannot start, a store that cannot be opened).
#pragma once

#include "platform/windef.h"

#include <cerrno>

namespace platform {

// The Windows code for err; otherwise for an errno the table does not know.
inline LONG WindowsErrorFromErrno(int err, LONG otherwise) {
    switch (err) {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case ENOEXEC:
    case ELIBBAD:
        return ERROR_BAD_EXE_FORMAT;
    case ENAMETOOLONG:
    case E2BIG:
        return ERROR_FILENAME_EXCED_RANGE;
    case ETXTBSY:
        return ERROR_SHARING_VIOLATION;
    case ENOMEM:
    case EAGAIN:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return otherwise;
    }
}

} // namespace platform

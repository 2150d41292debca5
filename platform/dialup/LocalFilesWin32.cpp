// The dial-up service's files on Windows: places below the user's application-data folders,
// files made with CREATE_NEW and replaced with MoveFileExA, processes probed with OpenProcess.
//
// The phone book is a setting the user may carry along, so it sits in the roaming folder
// (%APPDATA%\Skyvane\phonebook.pbk). The state folder lists the connections of this machine:
// it must not roam to another one, so it sits in the local folder
// (%LOCALAPPDATA%\Skyvane\DialupState), which only the user (and the system's administrators)
// may open; without that variable, in the user's own temporary folder.
#include "LocalFiles.h"

#include <cstdlib>
#include <filesystem>
#include <thread>

namespace platform::dialup {
namespace {

// An absolute folder named by the variable, else "".
std::string FolderFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0')
        return "";
    return std::filesystem::path(value).is_absolute() ? std::string(value) : "";
}

std::string Below(const std::string& folder, const char* sub) {
    return folder.empty() ? "" : (std::filesystem::path(folder) / sub).string();
}

// A reader has the file open for a moment (its C runtime shares it for reading and writing,
// not for deletion): renaming over it or deleting it waits briefly for the reader to let go.
template <typename Op> bool WithRetries(Op op) {
    for (int tries = 0;; ++tries) {
        if (op())
            return true;
        const DWORD error = GetLastError();
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) || tries >= 50)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(4));
    }
}

bool WriteWhole(HANDLE file, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        DWORD written = 0;
        if (!WriteFile(file, text.data() + done, static_cast<DWORD>(text.size() - done), &written,
                       nullptr) ||
            written == 0)
            return false;
        done += written;
    }
    return true;
}

} // namespace

std::string DefaultPhoneBookPath() {
    return Below(Below(FolderFromEnvironment("APPDATA"), "Skyvane"), "phonebook.pbk");
}

std::string DefaultStateFolder() {
    const std::string local = FolderFromEnvironment("LOCALAPPDATA");
    if (!local.empty())
        return Below(Below(local, "Skyvane"), "DialupState");
    std::error_code error;
    std::filesystem::path temp = std::filesystem::temp_directory_path(error);
    return error ? "" : (temp / "skyvane-dialup").string();
}

DWORD CheckStateFolder(const std::string& folder, bool create) {
    std::string dir = folder;
    while (dir.size() > 1 && (dir.back() == '/' || dir.back() == '\\') &&
           dir[dir.size() - 2] != ':')
        dir.pop_back();
    if (dir.empty())
        return ERROR_ACCESS_DENIED;
    DWORD attributes = GetFileAttributesA(dir.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            return ERROR_ACCESS_DENIED;
        if (!create)
            return ERROR_FILE_NOT_FOUND;
        // New folders take the access rules of the folder above (below %LOCALAPPDATA%: the
        // user's own).
        std::error_code made;
        std::filesystem::create_directories(dir, made);
        attributes = GetFileAttributesA(dir.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            return ERROR_ACCESS_DENIED;
    }
    // A real folder: a link or junction in its place could send the records anywhere.
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

NewFile MakeNewFile(const std::string& path, const std::string& text) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // ERROR_ACCESS_DENIED too: a record of that name being deleted still holds the name.
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ||
            error == ERROR_ACCESS_DENIED)
            return NewFile::Taken;
        return NewFile::Failed;
    }
    const bool written = WriteWhole(file, text);
    CloseHandle(file);
    if (!written) {
        DeleteFileA(path.c_str());
        return NewFile::Failed;
    }
    return NewFile::Made;
}

bool ReplaceFile(const std::string& path, const std::string& text) {
    const std::string temp = path + "." + std::to_string(GetCurrentProcessId()) + ".tmp";
    HANDLE file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool written = WriteWhole(file, text);
    CloseHandle(file);
    if (!written || !WithRetries([&] {
            return MoveFileExA(temp.c_str(), path.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
        })) {
        DeleteFileA(temp.c_str());
        return false;
    }
    return true;
}

bool RemoveFile(const std::string& path) {
    return WithRetries([&] { return DeleteFileA(path.c_str()) != FALSE; });
}

long CurrentProcessId() {
    return static_cast<long>(GetCurrentProcessId());
}

bool ProcessAlive(long pid) {
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                 static_cast<DWORD>(pid));
    if (process == nullptr)
        return GetLastError() == ERROR_ACCESS_DENIED; // there, but another user's
    // Waiting, not the exit code: a program may well end with code 259 (STILL_ACTIVE).
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

} // namespace platform::dialup

// The dial-up service's files on Windows: places below the user's application-data folders,
// the state folder's owner and access list checked, files made with CREATE_NEW and replaced
// with MoveFileExA, processes probed with OpenProcess.
//
// The phone book is a setting the user may carry along, so it sits in the roaming folder
// (%APPDATA%\Skyvane\phonebook.pbk). The state folder lists the connections of this machine:
// it must not roam to another one, so it sits in the local folder
// (%LOCALAPPDATA%\Skyvane\DialupState), which only the user (and the system's administrators)
// may open; without that variable, in the user's own temporary folder.
#include "LocalFiles.h"

#include <aclapi.h>

#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

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

// Whether the folder's owner is this user: the user's own SID, or the default owner of what
// the process makes (the Administrators group for an elevated administrator).
bool OwnedByUser(PSID owner) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    bool mine = false;
    for (TOKEN_INFORMATION_CLASS kind : {TokenUser, TokenOwner}) {
        DWORD size = 0;
        GetTokenInformation(token, kind, nullptr, 0, &size);
        std::vector<BYTE> buffer(size);
        if (size == 0 || !GetTokenInformation(token, kind, buffer.data(), size, &size))
            continue;
        PSID sid = kind == TokenUser ? reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid
                                     : reinterpret_cast<TOKEN_OWNER*>(buffer.data())->Owner;
        mine = mine || EqualSid(sid, owner);
    }
    CloseHandle(token);
    return mine;
}

// Whether everyone on the machine may add or remove entries: the access list grants a right to
// change the folder to Everyone, Authenticated Users or Users (or there is no list at all).
bool WritableByAll(PACL dacl) {
    if (dacl == nullptr)
        return true;
    constexpr DWORD kChange = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD |
                              WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<LPVOID*>(&header)) ||
            header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE))
            continue;
        auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
        PSID sid = &ace->SidStart;
        if ((ace->Mask & kChange) != 0 &&
            (IsWellKnownSid(sid, WinWorldSid) || IsWellKnownSid(sid, WinAuthenticatedUserSid) ||
             IsWellKnownSid(sid, WinBuiltinUsersSid)))
            return true;
    }
    return false;
}

// A volume without access lists (FAT) protects nothing from anyone: there the check is moot.
bool VolumeHasAccessLists(const std::string& dir) {
    char root[MAX_PATH];
    DWORD flags = 0;
    return GetVolumePathNameA(dir.c_str(), root, MAX_PATH) &&
           GetVolumeInformationA(root, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
           (flags & FILE_PERSISTENT_ACLS) != 0;
}

// The folder decides which connections are up: it must be this user's and not one that
// everyone may change.
bool TrustedFolder(const std::string& dir) {
    if (!VolumeHasAccessLists(dir))
        return true;
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoA(dir.c_str(), SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                              nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    const bool trusted = owner != nullptr && OwnedByUser(owner) && !WritableByAll(dacl);
    LocalFree(descriptor);
    return trusted;
}

// Makes the file as the disposition says (CREATE_NEW, CREATE_ALWAYS) and writes the text; a file
// that could not be written whole is removed again. 0 or the error code.
DWORD WriteNamedFile(const std::string& path, const std::string& text, DWORD disposition) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError();
    DWORD written = 0;
    const bool whole =
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
        written == text.size();
    CloseHandle(file);
    if (whole)
        return ERROR_SUCCESS;
    DeleteFileA(path.c_str());
    return ERROR_WRITE_FAULT;
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
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || !TrustedFolder(dir))
        return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

NewFile MakeNewFile(const std::string& path, const std::string& text) {
    switch (WriteNamedFile(path, text, CREATE_NEW)) {
    case ERROR_SUCCESS:
        return NewFile::Made;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
    case ERROR_ACCESS_DENIED: // a record of that name being deleted still holds the name
        return NewFile::Taken;
    default:
        return NewFile::Failed;
    }
}

bool ReplaceFile(const std::string& path, const std::string& text) {
    const std::string temp = path + "." + std::to_string(GetCurrentProcessId()) + ".tmp";
    if (WriteNamedFile(temp, text, CREATE_ALWAYS) != ERROR_SUCCESS)
        return false;
    const bool moved = WithRetries([&] {
        return MoveFileExA(temp.c_str(), path.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    });
    if (!moved)
        DeleteFileA(temp.c_str());
    return moved;
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

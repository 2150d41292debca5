#include "client/win32/Console.h"

#include "client/jdk/StandIns.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace standin {

bool WriteArgumentRecord(const char* who, const std::string& file,
                         const std::vector<std::string>& args) {
    char full[MAX_PATH];
    char* name = nullptr;
    const DWORD length = GetFullPathNameA(file.c_str(), MAX_PATH, full, &name);
    if (length == 0 || length >= MAX_PATH || name == nullptr) {
        std::fprintf(stderr, "%s: cannot write %s: not a file name\n", who, file.c_str());
        return false;
    }
    const std::string folder(full, static_cast<size_t>(name - full));
    char temp[MAX_PATH];
    if (GetTempFileNameA(folder.c_str(), "arg", 0, temp) == 0) {
        std::fprintf(stderr, "%s: cannot write %s: error %lu\n", who, file.c_str(), GetLastError());
        return false;
    }
    const std::string text = javaexe::ArgumentRecordText(args);
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out || !MoveFileExA(temp, full, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        std::fprintf(stderr, "%s: cannot write %s: error %lu\n", who, file.c_str(), GetLastError());
        DeleteFileA(temp);
        return false;
    }
    return true;
}

int RunUpdater(const std::string& installDir, const std::vector<std::string>& args) {
    const char* argsFile = std::getenv("SKYVANE_UPDATER_ARGS_FILE");
    if (argsFile != nullptr && *argsFile != '\0' &&
        !WriteArgumentRecord("Sky.Vane updater", argsFile, args)) {
        return 1;
    }
    const std::string codeFile = installDir + "updater-exit-code";
    const bool exists = GetFileAttributesA(codeFile.c_str()) != INVALID_FILE_ATTRIBUTES;
    std::string text;
    if (exists) {
        std::ifstream in(codeFile, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "Sky.Vane updater: cannot read %s\n", codeFile.c_str());
            return 1;
        }
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::string complaint;
    const int code = javaexe::UpdaterExitCode(exists, text, &complaint);
    if (!complaint.empty()) {
        std::fprintf(stderr, "Sky.Vane updater: %s%s\n", installDir.c_str(), complaint.c_str());
    }
    std::printf("Sky.Vane updater: %s\n", javaexe::DescribeUpdate(code).c_str());
    std::fflush(stdout);
    return code;
}

} // namespace standin

#include "client/jdk/StandIns.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace javaexe {
namespace {

// Java's String.trim: everything up to and including U+0020 goes at both ends.
std::string Trim(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') {
        ++begin;
    }
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') {
        --end;
    }
    return text.substr(begin, end - begin);
}

// Long.parseLong / Integer.parseInt: an optional sign and decimal digits, nothing else.
bool ParseDecimal(const std::string& text, long long low, long long high, long long* value) {
    size_t i = text.empty() || (text[0] != '+' && text[0] != '-') ? 0 : 1;
    if (i == text.size()) {
        return false;
    }
    for (size_t j = i; j < text.size(); ++j) {
        if (text[j] < '0' || text[j] > '9') {
            return false;
        }
    }
    errno = 0;
    const long long parsed = std::strtoll(text.c_str(), nullptr, 10);
    if (errno == ERANGE || parsed < low || parsed > high) {
        return false;
    }
    *value = parsed;
    return true;
}

} // namespace

std::string ArgumentRecordText(const std::vector<std::string>& args) {
    std::string text;
    for (const std::string& arg : args) {
        text += arg + '\n';
    }
    return text;
}

long long ParseAutoCloseMs(const char* text, std::string* complaint) {
    if (text == nullptr || *text == '\0') {
        return 0;
    }
    long long ms = 0;
    if (ParseDecimal(Trim(text), LLONG_MIN, LLONG_MAX, &ms) && ms > 0) {
        return ms;
    }
    *complaint = std::string("ignoring SKYVANE_CONSOLE_AUTOCLOSE_MS=") + text;
    return 0;
}

int UpdaterExitCode(bool fileExists, const std::string& fileText, std::string* complaint) {
    if (!fileExists) {
        return 0;
    }
    const std::string text = Trim(fileText);
    long long code = 0;
    if (!ParseDecimal(text, INT_MIN, INT_MAX, &code)) {
        *complaint = "updater-exit-code holds \"" + text + "\", not an exit code";
        return 1;
    }
    return static_cast<int>(code);
}

std::string DescribeUpdate(int code) {
    if (code == 0) {
        return "the client is up to date";
    }
    if (code == 2) {
        return "the client was updated and must restart";
    }
    return "the update was not completed (exit code " + std::to_string(code) + ")";
}

std::string ClassNotFoundMessage(const std::string& className) {
    return "Error: Could not find or load main class " + className +
           "\nCaused by: java.lang.ClassNotFoundException: " + className + "\n";
}

} // namespace javaexe

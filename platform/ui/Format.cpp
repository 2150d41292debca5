// The formatters of Windows that the program uses: FormatMessage's numbered inserts and
// wsprintfA. Numbers are 32 bits wide there ("long" included), so a value above 2147483647
// prints negative through "%d" and "%ld", as on Windows.
#include "platform/afxwin.h"

#include <cctype>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// One conversion of a 32-bit number: type d, i, u, x, X or c, after the flags, width and
// precision given (without the '%').
std::string FormatNumber(const std::string& flagsAndWidth, char type, uint32_t bits) {
    char buffer[64];
    const std::string head = "%" + flagsAndWidth;
    switch (type) {
    case 'u':
    case 'x':
    case 'X':
        std::snprintf(buffer, sizeof buffer, (head + type).c_str(), static_cast<unsigned>(bits));
        break;
    case 'c':
        std::snprintf(buffer, sizeof buffer, (head + 'c').c_str(), static_cast<int>(bits & 0xFF));
        break;
    default:
        std::snprintf(buffer, sizeof buffer, (head + 'd').c_str(), static_cast<int32_t>(bits));
        break;
    }
    return buffer;
}

// Splits a printf conversion ("5ld", "-x", "d") into its flags and width, and its type; the
// size prefixes l and h change nothing for 32-bit numbers.
void SplitConversion(const std::string& conversion, std::string* flagsAndWidth, char* type) {
    flagsAndWidth->clear();
    *type = 'd';
    for (char c : conversion) {
        if (std::strchr("-+ #0123456789.", c))
            *flagsAndWidth += c;
        else if (c != 'l' && c != 'h')
            *type = c;
    }
}

} // namespace

std::string AfxFormatMessage(const char* pattern, long arg1, long arg2) {
    std::string out;
    for (const char* p = pattern; p && *p; ++p) {
        if (*p != '%' || !(p[1] == '%' || std::isdigit(static_cast<unsigned char>(p[1])))) {
            out += *p;
            continue;
        }
        if (p[1] == '%') {
            out += '%';
            ++p;
            continue;
        }
        int index = 0;
        for (++p; std::isdigit(static_cast<unsigned char>(*p)); ++p)
            index = index * 10 + (*p - '0');
        // An optional printf conversion between exclamation marks; numbers only here.
        std::string conversion = "d";
        if (*p == '!') {
            const char* end = std::strchr(p + 1, '!');
            conversion.assign(p + 1, end ? end : p + std::strlen(p));
            p = end ? end : p + std::strlen(p) - 1;
        } else {
            --p;
        }
        std::string flags;
        char type = 'd';
        SplitConversion(conversion, &flags, &type);
        const long value = index == 1 ? arg1 : index == 2 ? arg2 : 0;
        out += FormatNumber(flags, type, static_cast<uint32_t>(value));
    }
    return out;
}

#ifndef _WIN32
// On Windows user32 has them.
int wvsprintfA(LPSTR lpOut, LPCSTR lpFmt, va_list arglist) {
    std::string out;
    for (const char* p = lpFmt; p && *p; ++p) {
        if (*p != '%' || p[1] == '\0') {
            out += *p;
            continue;
        }
        const char* start = ++p;
        while (*p && std::strchr("-+ #0123456789.lh", *p))
            ++p;
        if (*p == '\0')
            break;
        std::string flags;
        char type = 'd';
        SplitConversion(std::string(start, p + 1), &flags, &type);
        if (type == '%') {
            out += '%';
        } else if (type == 's') {
            const char* text = va_arg(arglist, const char*);
            out += text ? text : "(null)";
        } else {
            out += FormatNumber(flags, type, va_arg(arglist, uint32_t));
        }
    }
    // Windows writes at most 1024 characters, the terminating NUL included.
    if (out.size() > 1023)
        out.resize(1023);
    std::memcpy(lpOut, out.c_str(), out.size() + 1);
    return static_cast<int>(out.size());
}

int wsprintfA(LPSTR lpOut, LPCSTR lpFmt, ...) {
    va_list arglist;
    va_start(arglist, lpFmt);
    const int written = wvsprintfA(lpOut, lpFmt, arglist);
    va_end(arglist);
    return written;
}
#endif // !_WIN32

#include "Text.h"
#include "platform/ascii.h"

#include <cctype>
#include <cstdint>

namespace platform::ui::fltk {

namespace {

// Code points of bytes 0x80..0x9F in Windows-1252; the five undefined bytes keep their C1 value.
constexpr char32_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

char AnsiOf(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<char>(cp);
    for (int i = 0; i < 32; ++i) {
        if (kHighControls[i] == cp)
            return static_cast<char>(0x80 + i);
    }
    return '?';
}

} // namespace

std::string AnsiToUtf8(std::string_view ansi) {
    std::string out;
    out.reserve(ansi.size());
    for (char c : ansi) {
        auto b = static_cast<unsigned char>(c);
        if (b < 0x80)
            out += c;
        else if (b < 0xA0)
            AppendUtf8(out, kHighControls[b - 0x80]);
        else
            AppendUtf8(out, b);
    }
    return out;
}

std::string Utf8ToAnsi(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            out += static_cast<char>(b);
            ++i;
            continue;
        }
        int extra = (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
        if (extra < 0 || i + extra >= utf8.size()) {
            out += '?';
            ++i;
            continue;
        }
        char32_t cp = b & (0x3F >> extra);
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            auto cont = static_cast<unsigned char>(utf8[i + k]);
            if ((cont & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (cont & 0x3F);
        }
        // Overlong forms are refused: they would smuggle in a NUL or a control character.
        constexpr char32_t kLeast[4] = {0, 0x80, 0x800, 0x10000};
        if (!ok || cp < kLeast[extra]) {
            out += '?';
            ++i;
            continue;
        }
        out += AnsiOf(cp);
        i += extra + 1;
    }
    return out;
}

char MnemonicOf(std::string_view caption) {
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&')
            continue;
        if (caption[i + 1] == '&') {
            ++i;
            continue;
        }
        return platform::AsciiLower(caption[i + 1]);
    }
    return 0;
}

std::string PrefixedLabel(std::string_view caption) {
    std::string out(caption);
    // Count the '&'s that end the text: an odd run ends in a lone '&'.
    size_t run = 0;
    while (run < out.size() && out[out.size() - 1 - run] == '&')
        ++run;
    if (run % 2 == 1)
        out += '&';
    return out;
}

namespace {

void WrapParagraph(std::string_view para, int maxWidth,
                   const std::function<int(std::string_view)>& width,
                   std::vector<std::string>& lines) {
    const size_t n = para.size();
    size_t start = 0;
    do {
        // The longest run of whole words from start that fits.
        size_t fit = std::string_view::npos;
        for (size_t i = start;;) {
            size_t j = i;
            while (j < n && para[j] == ' ')
                ++j;
            while (j < n && para[j] != ' ')
                ++j;
            if (j == i) {
                if (fit == std::string_view::npos)
                    fit = i; // an empty paragraph
                break;
            }
            if (width(para.substr(start, j - start)) > maxWidth)
                break;
            fit = j;
            i = j;
        }
        if (fit == std::string_view::npos) {
            // Even the first word is too wide: take as many of its characters as fit, at
            // least one so that the text always advances.
            size_t k = start;
            while (k < n && para[k] == ' ')
                ++k;
            size_t cut = start;
            while (k < n && para[k] != ' ') {
                size_t next = k + 1;
                while (next < n && (static_cast<unsigned char>(para[next]) & 0xC0) == 0x80)
                    ++next;
                if (cut != start && width(para.substr(start, next - start)) > maxWidth)
                    break;
                cut = next;
                k = next;
            }
            fit = cut;
        }
        lines.emplace_back(para.substr(start, fit - start));
        start = fit;
        while (start < n && para[start] == ' ')
            ++start;
    } while (start < n);
}

} // namespace

std::vector<std::string> WrapText(std::string_view text, int maxWidth,
                                  const std::function<int(std::string_view)>& width) {
    std::vector<std::string> lines;
    size_t begin = 0;
    while (true) {
        size_t end = text.find('\n', begin);
        std::string_view para = text.substr(
            begin, end == std::string_view::npos ? std::string_view::npos : end - begin);
        if (!para.empty() && para.back() == '\r')
            para.remove_suffix(1);
        WrapParagraph(para, maxWidth, width, lines);
        if (end == std::string_view::npos)
            break;
        begin = end + 1;
    }
    return lines;
}

} // namespace platform::ui::fltk

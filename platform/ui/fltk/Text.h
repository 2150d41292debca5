// Text at the seam between the framework and FLTK: the framework's strings are 8-bit ANSI
// (Windows-1252), FLTK's are UTF-8; captions mark their mnemonic with '&'.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::ui::fltk {

// Windows-1252 to UTF-8. Bytes the code page leaves undefined map to U+0080..U+009F, as
// Windows' own conversion does, so every byte survives the round trip.
std::string AnsiToUtf8(std::string_view ansi);

// UTF-8 to Windows-1252; characters the code page lacks and malformed bytes become '?'.
std::string Utf8ToAnsi(std::string_view utf8);

// The mnemonic of a caption: the character after the first lone '&' ("&&" is a literal '&'),
// lower-cased; 0 when there is none.
char MnemonicOf(std::string_view caption);

// A caption as FLTK draws it with its shortcut underlining on: FLTK and Windows agree on "&x"
// and "&&", but a trailing lone '&' would vanish in FLTK while Windows shows it.
std::string PrefixedLabel(std::string_view caption);

// Breaks text into lines no wider than maxWidth, as DrawText with DT_WORDBREAK does: at line
// feeds and between words, the blanks at a break dropped. A word wider than a line is broken
// between its characters (UTF-8 sequences kept whole) rather than left sticking out.
std::vector<std::string> WrapText(std::string_view text, int maxWidth,
                                  const std::function<int(std::string_view)>& width);

} // namespace platform::ui::fltk

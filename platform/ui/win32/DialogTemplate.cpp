// The resources' dialog templates as the system's in-memory DLGTEMPLATE: a header, the font,
// then one DLGITEMTEMPLATE per control, each on a DWORD boundary; strings are UTF-16.
#include "WindowMap.h"

namespace platform::ui::win32 {
namespace {

class TemplateWriter {
  public:
    void Word(WORD w) { m_words.push_back(w); }
    void Short(int v) { Word(static_cast<WORD>(static_cast<short>(v))); }
    void Dword(DWORD d) {
        Word(LOWORD(d));
        Word(HIWORD(d));
    }
    // ANSI text of the program's code page, NUL-terminated.
    void Text(const std::string& text) {
        if (!text.empty()) {
            const int n = ::MultiByteToWideChar(CP_ACP, 0, text.data(),
                                                static_cast<int>(text.size()), nullptr, 0);
            std::wstring wide(static_cast<size_t>(n), L'\0');
            ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                  wide.data(), n);
            for (wchar_t c : wide)
                Word(static_cast<WORD>(c));
        }
        Word(0);
    }
    void AlignToDword() {
        if (m_words.size() % 2)
            Word(0);
    }
    std::vector<WORD> Take() { return std::move(m_words); }

  private:
    std::vector<WORD> m_words;
};

} // namespace

std::vector<WORD> MakeDialogTemplate(const DialogTemplate& t) {
    TemplateWriter w;
    DWORD style = t.style;
    if (!t.fontName.empty())
        style |= DS_SETFONT;
    else
        style &= ~static_cast<DWORD>(DS_SETFONT);
    w.Dword(style);
    // A system-modal dialog stays above every other window: the Windows documentation gives it
    // WS_EX_TOPMOST, and the template says so itself, as Wine's dialog manager does not.
    w.Dword((style & DS_SYSMODAL) ? WS_EX_TOPMOST : 0); // extended style
    w.Word(static_cast<WORD>(t.controls.size()));
    w.Short(t.x);
    w.Short(t.y);
    w.Short(t.cx);
    w.Short(t.cy);
    w.Word(0); // no menu
    w.Word(0); // the system's dialog class
    w.Text(t.caption);
    if (style & DS_SETFONT) {
        w.Word(static_cast<WORD>(t.fontPoints));
        w.Text(t.fontName);
    }
    for (const ControlTemplate& c : t.controls) {
        w.AlignToDword();
        w.Dword(c.style | WS_CHILD | WS_VISIBLE);
        w.Dword(0);
        w.Short(c.x);
        w.Short(c.y);
        w.Short(c.cx);
        w.Short(c.cy);
        w.Word(static_cast<WORD>(c.id));
        w.Text(c.className);
        // An icon static's text would name its icon resource: it starts empty instead, so that
        // a missing icon cannot keep the dialog from being made.
        const bool icon = (c.style & SS_TYPEMASK) == SS_ICON && c.className == "STATIC";
        w.Text(icon ? std::string() : c.text);
        w.Word(0); // no creation data
    }
    return w.Take();
}

void ShowTemplateIcons(HWND dialog, const DialogTemplate& t) {
    HWND control = ::GetWindow(dialog, GW_CHILD);
    for (const ControlTemplate& c : t.controls) {
        if (!control)
            break;
        if (c.iconId != 0) {
            HICON icon = ::LoadIconA(::GetModuleHandleA(nullptr),
                                     MAKEINTRESOURCEA(static_cast<WORD>(c.iconId)));
            if (icon)
                ::SendMessageA(control, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
        }
        control = ::GetWindow(control, GW_HWNDNEXT);
    }
}

} // namespace platform::ui::win32

#include "MessageBox.h"

#include "Controls.h"
#include "Look.h"
#include "Text.h"

#include "platform/winuser.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <cctype>

namespace platform::ui::fltk {

namespace {

constexpr int kIconSize = 32;

int MulDiv(int a, int b, int c) {
    return (a * b + c / 2) / c;
}

// The sign of an icon, in the dialog font at 20 pixels: that font has no bold face, so the
// sign is struck twice a pixel apart, as bold as the signs of Windows 95's icons.
void DrawSign(const char* sign, int x, int y, int w, int h) {
    fl_font(DialogFont(), 20);
    fl_draw(sign, x, y, w, h, FL_ALIGN_CENTER, nullptr, 0);
    fl_draw(sign, x + 1, y, w, h, FL_ALIGN_CENTER, nullptr, 0);
}

// The four message box icons, drawn in the spirit of Windows 95's.
class MessageIcon : public Fl_Widget {
  public:
    MessageIcon(int x, int y, UINT icon) : Fl_Widget(x, y, kIconSize, kIconSize), icon_(icon) {}

  protected:
    void draw() override {
        const int x0 = x(), y0 = y();
        switch (icon_) {
        case MB_ICONSTOP: {
            fl_color(fl_rgb_color(255, 0, 0));
            fl_pie(x0 + 1, y0 + 1, 30, 30, 0, 360);
            fl_color(FL_BLACK);
            fl_arc(x0 + 1, y0 + 1, 30, 30, 0, 360);
            fl_color(FL_WHITE);
            fl_line_style(FL_SOLID, 4);
            fl_line(x0 + 10, y0 + 10, x0 + 21, y0 + 21);
            fl_line(x0 + 21, y0 + 10, x0 + 10, y0 + 21);
            fl_line_style(0);
            break;
        }
        case MB_ICONEXCLAMATION: {
            fl_color(fl_rgb_color(255, 255, 0));
            fl_polygon(x0 + 16, y0 + 1, x0 + 31, y0 + 29, x0 + 1, y0 + 29);
            fl_color(FL_BLACK);
            fl_loop(x0 + 16, y0 + 1, x0 + 31, y0 + 29, x0 + 1, y0 + 29);
            DrawSign("!", x0, y0 + 9, kIconSize, 19);
            break;
        }
        case MB_ICONQUESTION:
        case MB_ICONINFORMATION: {
            // A white speech balloon with a blue sign.
            fl_color(FL_WHITE);
            fl_pie(x0 + 1, y0 + 1, 30, 26, 0, 360);
            fl_polygon(x0 + 8, y0 + 22, x0 + 15, y0 + 25, x0 + 6, y0 + 31);
            fl_color(FL_BLACK);
            fl_arc(x0 + 1, y0 + 1, 30, 26, 0, 360);
            fl_color(fl_rgb_color(0, 0, 255));
            DrawSign(icon_ == MB_ICONQUESTION ? "?" : "i", x0, y0 + 2, kIconSize, 24);
            break;
        }
        default:
            break;
        }
    }

  private:
    UINT icon_;
};

// The text of the box, already broken into lines; '&' is shown as it is.
class MessageText : public Fl_Widget {
  public:
    MessageText(int x, int y, int w, int h, std::vector<std::string> lines, int fontSize)
        : Fl_Widget(x, y, w, h), lines_(std::move(lines)), fontSize_(fontSize) {}

  protected:
    void draw() override {
        fl_font(DialogFont(), fontSize_);
        const int lh = fl_height();
        fl_color(FL_BLACK);
        for (size_t i = 0; i < lines_.size(); ++i)
            fl_draw(lines_[i].c_str(), x(),
                    y() + static_cast<int>(i) * lh + fl_height() - fl_descent());
    }

  private:
    std::vector<std::string> lines_;
    int fontSize_;
};

} // namespace

MessageBoxWindow::MessageBoxWindow(const std::string& text, const std::string& caption, UINT type)
    : Fl_Double_Window(0, 0, 100, 100) {
    color(kFaceColor);
    title_ = AnsiToUtf8(caption);
    label(title_.c_str());
    callback(CloseBox);
    set_modal();
    keepAbove_ = (type & MB_SYSTEMMODAL) != 0;

    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
        choices_ = {{IDOK, "OK"}, {IDCANCEL, "Cancel"}};
        break;
    case 2: // MB_ABORTRETRYIGNORE
        choices_ = {{IDABORT, "&Abort"}, {IDRETRY, "&Retry"}, {IDIGNORE, "&Ignore"}};
        break;
    case 3: // MB_YESNOCANCEL
        choices_ = {{IDYES, "&Yes"}, {IDNO, "&No"}, {IDCANCEL, "Cancel"}};
        break;
    case MB_YESNO:
        choices_ = {{IDYES, "&Yes"}, {IDNO, "&No"}};
        break;
    case 5: // MB_RETRYCANCEL
        choices_ = {{IDRETRY, "&Retry"}, {IDCANCEL, "Cancel"}};
        break;
    default:
        choices_ = {{IDOK, "OK"}};
        break;
    }
    const UINT icon = type & 0xF0;
    const bool hasIcon = icon == MB_ICONSTOP || icon == MB_ICONQUESTION ||
                         icon == MB_ICONEXCLAMATION || icon == MB_ICONINFORMATION;

    // Metrics from the dialog font, as Windows derives them from its message font.
    const int fontSize = FontPixels(8);
    const SIZE base = BaseUnitsOf(fontSize);
    const int bx = static_cast<int>(base.cx), by = static_cast<int>(base.cy);
    const int mx = MulDiv(7, bx, 4), my = MulDiv(7, by, 8);

    int sx = 0, sy = 0, sw = 0, sh = 0;
    Fl::screen_xywh(sx, sy, sw, sh, 0);

    fl_font(DialogFont(), fontSize);
    const int lineHeight = fl_height();
    const int textLeft = hasIcon ? mx + kIconSize + mx : mx + bx;
    const int maxText = std::max(8 * bx, sw * 5 / 8 - textLeft);
    lines_ = WrapText(AnsiToUtf8(text), maxText, [](std::string_view s) {
        return static_cast<int>(fl_width(s.data(), static_cast<int>(s.size())) + 0.5);
    });
    int textWidth = 0;
    for (const std::string& line : lines_)
        textWidth = std::max(textWidth, static_cast<int>(fl_width(line.c_str()) + 0.5));
    const int textHeight = static_cast<int>(lines_.size()) * lineHeight;
    int textTop = my;
    if (hasIcon && textHeight < kIconSize)
        textTop = my + (kIconSize - textHeight) / 2;
    const int contentBottom = std::max(hasIcon ? my + kIconSize : 0, textTop + textHeight);

    int buttonWidth = MulDiv(50, bx, 4);
    for (const Choice& c : choices_) {
        const char saved = fl_draw_shortcut;
        fl_draw_shortcut = 1;
        int tw = 0, th = 0;
        fl_measure(c.caption, tw, th, 0);
        fl_draw_shortcut = saved;
        buttonWidth = std::max(buttonWidth, tw + 2 * bx);
    }
    const int buttonHeight = MulDiv(14, by, 8);
    const int gap = bx;
    const int n = static_cast<int>(choices_.size());
    const int buttonsWidth = n * buttonWidth + (n - 1) * gap;
    const int width = std::min(sw, std::max(textLeft + textWidth + mx, buttonsWidth + 2 * mx));
    const int buttonsTop = contentBottom + my + my / 2;
    const int height = buttonsTop + buttonHeight + my;

    begin();
    if (hasIcon)
        new MessageIcon(mx, my, icon);
    new MessageText(textLeft, textTop, std::max(1, width - textLeft - mx), std::max(1, textHeight),
                    lines_, fontSize);
    const UINT defaultIndex = std::min<UINT>((type >> 8) & 0xF, static_cast<UINT>(n - 1));
    int bxPos = (width - buttonsWidth) / 2;
    for (int k = 0; k < n; ++k) {
        auto* button =
            new PushButton(nullptr, bxPos, buttonsTop, buttonWidth, buttonHeight, fontSize);
        button->SetCaption(choices_[k].caption);
        button->SetDefault(static_cast<UINT>(k) == defaultIndex);
        button->callback(Chosen, reinterpret_cast<void*>(static_cast<intptr_t>(choices_[k].id)));
        buttons_.push_back(button);
        bxPos += buttonWidth + gap;
    }
    end();
    resize(sx + (sw - width) / 2, sy + (sh - height) / 2, width, height);
}

MessageBoxWindow::~MessageBoxWindow() = default;

void MessageBoxWindow::FocusDefault() {
    for (PushButton* b : buttons_) {
        if (b->IsDefaultStyle()) {
            b->take_focus();
            return;
        }
    }
}

void MessageBoxWindow::Choose(int id) {
    if (!result_)
        result_ = id;
}

int MessageBoxWindow::EscapeResult() const {
    for (const Choice& c : choices_) {
        if (c.id == IDCANCEL)
            return IDCANCEL;
    }
    // A lone OK is also what Escape and the close box answer; Yes/No boxes ignore both.
    return choices_.size() == 1 && choices_[0].id == IDOK ? IDOK : 0;
}

void MessageBoxWindow::Chosen(Fl_Widget* widget, void* id) {
    auto* box = static_cast<MessageBoxWindow*>(widget->window());
    box->Choose(static_cast<int>(reinterpret_cast<intptr_t>(id)));
}

void MessageBoxWindow::CloseBox(Fl_Widget* widget, void*) {
    auto* box = static_cast<MessageBoxWindow*>(widget);
    if (int id = box->EscapeResult())
        box->Choose(id);
}

int MessageBoxWindow::handle(int event) {
    if (event != FL_KEYBOARD && event != FL_SHORTCUT)
        return Fl_Double_Window::handle(event);
    const int key = Fl::event_key();
    if (key == FL_Enter || key == FL_KP_Enter) {
        if (PushButton* b = DefaultButtonIn(this))
            b->do_callback();
        return 1;
    }
    if (key == FL_Escape) {
        if (int id = EscapeResult())
            Choose(id);
        return 1;
    }
    // The focus is always on a button, so a mnemonic works with or without Alt.
    if (key < 128 && std::isalnum(key)) {
        const char wanted = static_cast<char>(std::tolower(key));
        for (const Choice& c : choices_) {
            if (MnemonicOf(c.caption) == wanted) {
                Choose(c.id);
                return 1;
            }
        }
    }
    return Fl_Double_Window::handle(event);
}

} // namespace platform::ui::fltk

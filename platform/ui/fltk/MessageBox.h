// The window of a message box, laid out the way Windows lays out MessageBox: an icon, the text
// wrapped to a sensible width, and a centred row of buttons.
#pragma once

#include "platform/windef.h"

#include <FL/Fl_Double_Window.H>

#include <string>
#include <vector>

namespace platform::ui::fltk {

class PushButton;

class MessageBoxWindow : public Fl_Double_Window {
  public:
    // text and caption are ANSI; type holds the MB_ flags.
    MessageBoxWindow(const std::string& text, const std::string& caption, UINT type);
    ~MessageBoxWindow() override;

    // 0 while the box is open, then the button chosen (IDOK, IDYES, ...).
    int result() const { return result_; }
    bool KeepsAbove() const { return keepAbove_; }
    void FocusDefault();

    int handle(int event) override;

  private:
    struct Choice {
        int id;
        const char* caption;
    };
    static void Chosen(Fl_Widget* widget, void* id);
    static void CloseBox(Fl_Widget* widget, void*);
    void Choose(int id);
    int EscapeResult() const; // 0 when Escape and the close box do nothing

    std::vector<Choice> choices_;
    std::vector<PushButton*> buttons_;
    std::vector<std::string> lines_; // UTF-8
    std::string title_;
    int result_ = 0;
    bool keepAbove_ = false;
};

} // namespace platform::ui::fltk

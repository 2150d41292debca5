// The reference for the cost of a launcher run: a bare FLTK program, linked as FLTK's own
// `fltk-config --ldflags` links one, that opens the display, maps one window of 12 widgets
// (the shape of a small dialog), draws it once it is exposed and exits.
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Secret_Input.H>
#include <FL/Fl_Window.H>

int main() {
    Fl_Window window(396, 270, "Bare FLTK window");
    new Fl_Return_Button(252, 11, 134, 23, "Dial Now");
    new Fl_Button(252, 37, 134, 23, "Start Without Dialing");
    new Fl_Button(252, 63, 134, 23, "Exit");
    new Fl_Box(20, 18, 207, 50, "There are currently no remote connections.");
    auto* entries = new Fl_Hold_Browser(22, 112, 138, 88);
    entries->add("Ostrel Online");
    new Fl_Input(270, 109, 105, 23, "User Name");
    new Fl_Secret_Input(270, 135, 105, 23, "Password");
    new Fl_Input(270, 161, 105, 23, "Domain");
    new Fl_Check_Button(271, 188, 98, 16, "Save Password");
    new Fl_Box(20, 215, 120, 16, "Redial attempts");
    new Fl_Input(150, 213, 40, 23);
    new Fl_Box(200, 215, 120, 16, "seconds");
    window.end();
    window.show();
    window.wait_for_expose();
    Fl::flush();
    return 0;
}

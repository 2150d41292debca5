// The FLTK backend on a real X display: the About box against template 100, the keys of a
// dialog, and message boxes. Skipped without DISPLAY (CI runs them under Xvfb).
#include "DialogProgram.h"
#include "XProbe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>

namespace {

using e2e::Picture;
using e2e::ShowDialog;
using e2e::XProbe;

constexpr uint32_t kFace = 0xC0C0C0;

bool HaveDisplay() {
    const char* display = std::getenv("DISPLAY");
    return display && *display;
}

class FltkDialog : public ::testing::Test {
  protected:
    // One connection for the whole suite: an X server without other clients resets itself
    // each time its last client leaves, and refuses connections meanwhile.
    static void SetUpTestSuite() {
        if (HaveDisplay())
            probe_ = new XProbe;
    }
    static void TearDownTestSuite() {
        delete probe_;
        probe_ = nullptr;
    }

    void SetUp() override {
        if (!HaveDisplay())
            GTEST_SKIP() << "no X display";
        ASSERT_TRUE(probe_ && probe_->Connected()) << "cannot connect to the X display";
        ASSERT_EQ(std::system("command -v xdotool >/dev/null"), 0)
            << "these tests type their keys with xdotool, which is not installed";
        ShowDialog units({"units"});
        ASSERT_TRUE(units.Wait(10)) << "show-dialog units did not end";
        std::istringstream in(units.Output());
        ASSERT_TRUE(in >> bx_ >> by_) << units.Output() << units.Errors();
    }

    // Dialog units to pixels, rounded as Windows' MulDiv does.
    int Px(int du) const { return (du * bx_ + 2) / 4; }
    int Py(int du) const { return (du * by_ + 4) / 8; }

    static XProbe* probe_;
    int bx_ = 0, by_ = 0;
};

XProbe* FltkDialog::probe_ = nullptr;

bool Dark(uint32_t pixel) {
    return ((pixel >> 16) & 0xFF) < 0x60 && ((pixel >> 8) & 0xFF) < 0x60 && (pixel & 0xFF) < 0x60;
}

int CountIn(const Picture& p, int x0, int y0, int x1, int y1, bool (*test)(uint32_t)) {
    int n = 0;
    for (int y = std::max(0, y0); y < std::min(p.height, y1); ++y)
        for (int x = std::max(0, x0); x < std::min(p.width, x1); ++x)
            n += test(p.At(x, y));
    return n;
}

TEST_F(FltkDialog, DialogBaseUnitsAreThoseOfMsSansSerif8) {
    // As on Windows at 96 DPI, from Wine's bitmap "MS Sans Serif" (fonts-wine).
    EXPECT_EQ(bx_, 6) << "is fonts-wine installed?";
    EXPECT_EQ(by_, 13) << "is fonts-wine installed?";
}

// Each dialog's client area is its template's size in pixels at 6 x 13 base units, as Windows
// gives it. The splash has no title (it is found by its process) and no window-manager frame:
// its window holds the 3-pixel dialog frame it draws itself around the client area.
TEST_F(FltkDialog, EachDialogsClientAreaIsItsTemplateAtTheBaseUnits) {
    struct Row {
        const char* what;
        const char* title; // null: the window of the process
        int width, height; // of the client area
        int frame;         // drawn by the window itself, on each side
    };
    const Row rows[] = {
        {"dialer", "Ostrel Sky.Vane Dialer", 396, 270, 0}, // 264 x 166 dialog units
        {"connect", "Dialing Office : joe", 279, 68, 0},   // 186 x 42
        {"about", "About Pallix", 326, 89, 0},             // 217 x 55
        {"splash", nullptr, 333, 109, 3},                  // 222 x 67
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ShowDialog dialog({row.what});
        const unsigned long window = row.title ? probe_->WaitForWindow(row.title, 10)
                                               : probe_->WaitForWindowOf(dialog.Pid(), 10);
        ASSERT_NE(window, 0u) << dialog.Errors();
        int width = 0, height = 0;
        ASSERT_TRUE(probe_->Size(window, &width, &height));
        EXPECT_EQ(width, row.width + 2 * row.frame);
        EXPECT_EQ(height, row.height + 2 * row.frame);
        if (!row.title && probe_->WindowManagerRunning()) {
            // The window manager put no frame round the splash.
            const std::vector<unsigned long> none = {0, 0, 0, 0};
            EXPECT_EQ(probe_->Cardinals(window, "_NET_FRAME_EXTENTS"), none);
        }
        // Gone before the next window comes, which it would cover: the dialogs on Escape,
        // the splash by itself.
        if (row.title) {
            ASSERT_TRUE(probe_->Keys(window, "Escape"));
        }
        ASSERT_TRUE(dialog.Wait(10));
    }
}

// A Windows dialog's frame has a close box and nothing else: the window manager offers to move
// and to close each captioned window, and neither to minimise, maximise nor resize it.
TEST_F(FltkDialog, EachCaptionedWindowHasTheCloseBoxOnly) {
    if (!probe_->WindowManagerRunning())
        GTEST_SKIP() << "no window manager to frame the windows";
    struct Row {
        std::vector<std::string> args;
        const char* title;
    };
    const Row rows[] = {
        {{"dialer"}, "Ostrel Sky.Vane Dialer"},
        {{"connect"}, "Dialing Office : joe"},
        {{"about"}, "About Pallix"},
        {{"msgbox", "0x1010", "Error executing x"}, "Ostrel Sky.Vane"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.title);
        ShowDialog dialog(row.args);
        const unsigned long window = probe_->WaitForWindow(row.title, 10);
        ASSERT_NE(window, 0u) << dialog.Errors();
        // The window manager announces what it allows once it has taken the window on.
        std::vector<std::string> actions;
        for (int i = 0; i < 40 && actions.empty(); ++i) {
            actions = probe_->AtomNames(window, "_NET_WM_ALLOWED_ACTIONS");
            if (actions.empty())
                dialog.Wait(0.05);
        }
        auto allows = [&actions](const char* action) {
            return std::find(actions.begin(), actions.end(), action) != actions.end();
        };
        EXPECT_TRUE(allows("_NET_WM_ACTION_CLOSE"));
        EXPECT_TRUE(allows("_NET_WM_ACTION_MOVE"));
        EXPECT_FALSE(allows("_NET_WM_ACTION_MINIMIZE"));
        EXPECT_FALSE(allows("_NET_WM_ACTION_MAXIMIZE_HORZ"));
        EXPECT_FALSE(allows("_NET_WM_ACTION_MAXIMIZE_VERT"));
        EXPECT_FALSE(allows("_NET_WM_ACTION_RESIZE"));
        ASSERT_TRUE(probe_->Keys(window, "Escape"));
        ASSERT_TRUE(dialog.Wait(10));
    }
}

TEST_F(FltkDialog, AboutBoxMatchesItsTemplate) {
    ShowDialog about({"about"});
    const unsigned long window = probe_->WaitForWindow("About Pallix", 10);
    ASSERT_NE(window, 0u) << about.Errors();

    int width = 0, height = 0;
    ASSERT_TRUE(probe_->Size(window, &width, &height));
    EXPECT_EQ(width, Px(217));
    EXPECT_EQ(height, Py(55));

    const Picture p = probe_->Capture(window);
    ASSERT_EQ(p.width, width);
    EXPECT_EQ(p.At(2, 2), kFace);
    EXPECT_EQ(p.At(width - 3, height - 3), kFace);

    // Icon 128 at 11, 17, drawn at its own 32 x 32 pixels.
    const int ix = Px(11), iy = Py(17);
    EXPECT_GT(CountIn(p, ix, iy, ix + 32, iy + 32, [](uint32_t c) { return c != kFace; }), 300);
    EXPECT_EQ(CountIn(p, ix + 34, iy, ix + 40, iy + 32, [](uint32_t c) { return c != kFace; }), 0);

    // The two lines of text, each within its static's rectangle.
    EXPECT_GT(CountIn(p, Px(40), Py(10), Px(159), Py(18), Dark), 30);
    EXPECT_GT(CountIn(p, Px(40), Py(25), Px(159), Py(33), Dark), 30);
    EXPECT_EQ(CountIn(p, Px(40), Py(18) + 1, Px(159), Py(25) - 1, Dark), 0);

    // OK at 178, 7 (32 x 14): the default button's black frame, then a raised edge.
    const int left = Px(178), top = Py(7), right = Px(210), bottom = Py(21);
    const int midY = (top + bottom) / 2, midX = (left + right) / 2;
    EXPECT_EQ(p.At(left, midY), 0x000000u);
    EXPECT_EQ(p.At(left + 1, midY), 0xFFFFFFu);
    EXPECT_EQ(p.At(right - 1, midY), 0x000000u);
    EXPECT_EQ(p.At(right - 3, midY), 0x808080u);
    EXPECT_EQ(p.At(midX, top), 0x000000u);
    EXPECT_EQ(p.At(midX, bottom - 1), 0x000000u);
    EXPECT_EQ(p.At(left - 1, midY), kFace);
    EXPECT_GT(CountIn(p, left + 3, top + 3, right - 3, bottom - 3, Dark), 10); // "OK"

    ASSERT_TRUE(probe_->Keys(window, "Return"));
    ASSERT_TRUE(about.Wait(10));
    EXPECT_EQ(about.Output(), "1\n");
    EXPECT_EQ(about.ExitStatus(), 0);
}

TEST_F(FltkDialog, ModelessDialogOfAnotherThreadIsPaintedWithoutAnEventLoop) {
    ShowDialog program({"thread"});
    const unsigned long window = probe_->WaitForWindow("About Pallix", 10);
    ASSERT_NE(window, 0u) << program.Errors();
    // Shown and painted once; nobody handles its events afterwards.
    EXPECT_FALSE(program.Wait(0.3));
    const Picture p = probe_->Capture(window);
    ASSERT_GT(p.width, 0);
    EXPECT_EQ(p.At(2, 2), kFace);
    const int ix = Px(11), iy = Py(17);
    EXPECT_GT(CountIn(p, ix, iy, ix + 32, iy + 32, [](uint32_t c) { return c != kFace; }), 300);
    EXPECT_GT(CountIn(p, Px(40), Py(10), Px(159), Py(18), Dark), 30);
    ASSERT_TRUE(program.Wait(10));
    EXPECT_EQ(program.ExitStatus(), 0);
    EXPECT_FALSE(probe_->Viewable(window));
}

TEST_F(FltkDialog, AboutBoxEndsWithCancelOnEscapeAndOnTheCloseBox) {
    for (const bool closeBox : {false, true}) {
        SCOPED_TRACE(closeBox ? "close box" : "Escape");
        ShowDialog about({"about"});
        const unsigned long window = probe_->WaitForWindow("About Pallix", 10);
        ASSERT_NE(window, 0u) << about.Errors();
        if (closeBox)
            probe_->Close(window);
        else
            ASSERT_TRUE(probe_->Keys(window, "Escape"));
        ASSERT_TRUE(about.Wait(10));
        EXPECT_EQ(about.Output(), "2\n");
    }
}

TEST_F(FltkDialog, KeysReachTheControls) {
    ShowDialog dialog({"controls"});
    const unsigned long window = probe_->WaitForWindow("Controls", 10);
    ASSERT_NE(window, 0u) << dialog.Errors();
    // The first tab stop (OK) has the focus: Alt and a label's letter moves it to the edit after
    // the label; Up and Down step the number through its arrows; the domain takes 5 characters.
    for (const char* keys : {"alt+u j o e", "alt+p s e c r e t", "alt+d a b c d e f g h",
                             "alt+a Up Up Up Down", "alt+l Down", "alt+s", "Return"}) {
        ASSERT_TRUE(probe_->Keys(window, keys)) << keys;
    }
    ASSERT_TRUE(dialog.Wait(10)) << "Enter did not end the dialog";
    EXPECT_EQ(dialog.Output(), "1002 joe\n"
                               "1003 secret\n"
                               "1004 abcde\n"
                               "1021 12\n"
                               "1001 Office\n"
                               "selchanges 1\n"
                               "1026 1\n"
                               "posted 5\n"
                               "ticking yes\n"
                               "1\n");
}

TEST_F(FltkDialog, F1OpensTheAboutBoxOverTheDialog) {
    ShowDialog dialog({"controls"});
    const unsigned long window = probe_->WaitForWindow("Controls", 10);
    ASSERT_NE(window, 0u) << dialog.Errors();
    ASSERT_TRUE(probe_->Keys(window, "F1"));
    const unsigned long about = probe_->WaitForWindow("About Pallix", 10);
    ASSERT_NE(about, 0u) << "F1 did not open the About box";
    ASSERT_TRUE(probe_->Keys(about, "Escape"));
    for (int i = 0; i < 100 && probe_->Viewable(about); ++i)
        dialog.Wait(0.05);
    EXPECT_FALSE(probe_->Viewable(about));
    EXPECT_TRUE(probe_->Viewable(window)) << "Escape in the About box ended the dialog beneath";
    ASSERT_TRUE(probe_->Keys(window, "Escape"));
    ASSERT_TRUE(dialog.Wait(10));
    EXPECT_EQ(dialog.Output().substr(dialog.Output().size() - 2), "2\n");
}

TEST_F(FltkDialog, PasswordEditShowsNoneOfItsText) {
    ShowDialog dialog({"controls"});
    const unsigned long window = probe_->WaitForWindow("Controls", 10);
    ASSERT_NE(window, 0u) << dialog.Errors();
    ASSERT_TRUE(probe_->Keys(window, "alt+u W W W"));
    ASSERT_TRUE(probe_->Keys(window, "alt+p W W W"));
    ASSERT_TRUE(probe_->Keys(window, "Tab")); // the caret away from the password
    const Picture p = probe_->Capture(window);
    ASSERT_GT(p.width, 0);
    // The same text drawn plainly and masked must not look alike.
    auto row = [&](int duTop) {
        std::vector<uint32_t> pixels;
        for (int y = Py(duTop) + 3; y < Py(duTop + 12) - 3; ++y)
            for (int x = Px(52) + 3; x < Px(52) + 3 + 30; ++x)
                pixels.push_back(p.At(x, y));
        return pixels;
    };
    EXPECT_NE(row(7), row(23));
    EXPECT_GT(CountIn(p, Px(52) + 3, Py(23) + 3, Px(132) - 3, Py(35) - 3, Dark), 5);
    ASSERT_TRUE(probe_->Keys(window, "Escape"));
    ASSERT_TRUE(dialog.Wait(10));
    EXPECT_NE(dialog.Output().find("1003 WWW\n"), std::string::npos) << dialog.Output();
}

TEST_F(FltkDialog, YesNoBoxAnswersYesOnEnterAndIgnoresEscapeAndTheCloseBox) {
    ShowDialog box({"msgbox", "0x24", "Update now?", "Ostrel Sky.Vane"});
    const unsigned long window = probe_->WaitForWindow("Ostrel Sky.Vane", 10);
    ASSERT_NE(window, 0u) << box.Errors();
    ASSERT_TRUE(probe_->Keys(window, "Escape"));
    probe_->Close(window);
    EXPECT_FALSE(box.Wait(0.5)) << "a Yes/No box ended on Escape or the close box";
    EXPECT_TRUE(probe_->Viewable(window));
    ASSERT_TRUE(probe_->Keys(window, "Return"));
    ASSERT_TRUE(box.Wait(10));
    EXPECT_EQ(box.Output(), "6\n");
}

TEST_F(FltkDialog, YesNoBoxAnswersNoOnItsMnemonic) {
    ShowDialog box({"msgbox", "4", "Update now?"});
    const unsigned long window = probe_->WaitForWindow("Ostrel Sky.Vane", 10);
    ASSERT_NE(window, 0u) << box.Errors();
    ASSERT_TRUE(probe_->Keys(window, "alt+n"));
    ASSERT_TRUE(box.Wait(10));
    EXPECT_EQ(box.Output(), "7\n");
}

TEST_F(FltkDialog, OkBoxEndsOnEscapeAndWrapsLongText) {
    std::string text = "Error executing ";
    for (int i = 0; i < 40; ++i)
        text += "word" + std::to_string(i) + " ";
    ShowDialog box({"msgbox", "0", text, "Ostrel Sky.Vane"});
    const unsigned long window = probe_->WaitForWindow("Ostrel Sky.Vane", 10);
    ASSERT_NE(window, 0u) << box.Errors();
    int width = 0, height = 0;
    ASSERT_TRUE(probe_->Size(window, &width, &height));
    EXPECT_LT(width, 800); // wrapped, not one long line
    EXPECT_GT(width, 200);
    EXPECT_GT(height, 3 * by_); // several lines above the button
    ASSERT_TRUE(probe_->Keys(window, "Escape"));
    ASSERT_TRUE(box.Wait(10));
    EXPECT_EQ(box.Output(), "1\n");
}

TEST_F(FltkDialog, SystemModalBoxStaysAboveOtherWindows) {
    if (!probe_->WindowManagerRunning())
        GTEST_SKIP() << "no window manager to keep windows above others";
    ShowDialog box({"msgbox", "0x1010", "Error executing x"});
    const unsigned long window = probe_->WaitForWindow("Ostrel Sky.Vane", 10);
    ASSERT_NE(window, 0u) << box.Errors();
    bool above = false;
    for (int i = 0; i < 40 && !above; ++i) {
        above = probe_->HasState(window, "_NET_WM_STATE_ABOVE");
        if (!above)
            box.Wait(0.05);
    }
    EXPECT_TRUE(above);
    ASSERT_TRUE(probe_->Keys(window, "Return"));
    ASSERT_TRUE(box.Wait(10));
    EXPECT_EQ(box.Output(), "1\n");
}

TEST(FltkDisplay, WithoutADisplayTheProgramSaysSoInOneLine) {
    ShowDialog about({"about"}, {"DISPLAY="});
    ASSERT_TRUE(about.Started());
    ASSERT_TRUE(about.Wait(10));
    EXPECT_EQ(about.ExitStatus(), 1);
    EXPECT_EQ(about.Output(), "");
    const std::string& error = about.Errors();
    ASSERT_FALSE(error.empty());
    EXPECT_EQ(error.find('\n'), error.size() - 1) << error;
    EXPECT_NE(error.find("display"), std::string::npos) << error;
}

} // namespace

// "&Dial Now" and "&Domain" share Alt+D: as on Windows the key only moves the focus between
// them; nothing is dialled, and typing then lands in the domain edit.
TEST_F(FltkDialog, SharedMnemonicMovesTheFocusAndClicksNothing) {
    ShowDialog dialer({"dialer"});
    const unsigned long window = probe_->WaitForWindow("Ostrel Sky.Vane Dialer", 10);
    ASSERT_NE(window, 0u) << dialer.Errors();
    ASSERT_TRUE(probe_->Keys(window, "alt+d alt+d"));
    EXPECT_FALSE(dialer.Wait(0.5)) << "Alt+D ended the dialer";
    EXPECT_EQ(probe_->WaitForWindow("Dialing Office : joe", 1), 0u) << "Alt+D dialled";
    ASSERT_TRUE(probe_->Keys(window, "Escape"));
    ASSERT_TRUE(dialer.Wait(10));
    EXPECT_EQ(dialer.Output(), "2\n");
}

// The X11 window finder against a private Xvfb, with and without a window manager.
#include "XServer.h"

#include "platform/winfind_x11.h"
#include "support/Wait.h"

// Ahead of Xlib, whose None macro would clash with gtest's own None.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "support/XProperty.h" // after gtest: Xlib's macros would break its headers

#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

namespace {

using platform::X11WindowFinder;

// The test's own connection: makes the windows that the finder looks for.
class Screen {
  public:
    explicit Screen(const std::string& display) : d(XOpenDisplay(display.c_str())) {}
    ~Screen() {
        if (d)
            XCloseDisplay(d);
    }

    // A top-level window; its title goes into _NET_WM_NAME (UTF-8) and/or WM_NAME (Latin-1).
    Window Create(const char* netWmName, const char* wmName, bool map = true) {
        Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 10, 10, 120, 80, 0, 0, 0);
        if (netWmName)
            XChangeProperty(d, w, XInternAtom(d, "_NET_WM_NAME", False),
                            XInternAtom(d, "UTF8_STRING", False), 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(netWmName),
                            static_cast<int>(std::strlen(netWmName)));
        if (wmName)
            XChangeProperty(d, w, XA_WM_NAME, XA_STRING, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(wmName),
                            static_cast<int>(std::strlen(wmName)));
        if (map)
            XMapWindow(d, w);
        XSync(d, False);
        return w;
    }

    void Destroy(Window w) {
        XDestroyWindow(d, w);
        XSync(d, False);
    }

    bool HasAboveState(Window w) {
        const Atom wanted = XInternAtom(d, "_NET_WM_STATE_ABOVE", False);
        bool above = false;
        for (unsigned long atom : PropertyItems(d, w, "_NET_WM_STATE", XA_ATOM))
            above = above || atom == wanted;
        return above;
    }

    Display* d;
};

class FinderTest : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        std::string error;
        if (!server.Start(GetParam(), &error))
            GTEST_SKIP() << error;
        screen = std::make_unique<Screen>(server.DisplayName());
        ASSERT_NE(nullptr, screen->d);
        finder = std::make_unique<X11WindowFinder>(server.DisplayName());
    }
    void TearDown() override {
        finder.reset();
        screen.reset();
        server.Stop();
    }

    // The window manager maps windows in its own time.
    HWND FindSoon(const char* title) {
        return WaitForValue([&] { return finder->FindTopLevel(title); }, 5);
    }

    testx::XServer server;
    std::unique_ptr<Screen> screen;
    std::unique_ptr<X11WindowFinder> finder;
};

struct TitleRow {
    const char* what;
    const char* netWmName;
    const char* wmName;
    const char* searched;
    bool found;
};

TEST_P(FinderTest, FindsByTitleIgnoringAsciiCase) {
    const TitleRow rows[] = {
        {"_NET_WM_NAME", "Ostrel Sky.Vane", nullptr, "Ostrel Sky.Vane", true},
        {"other case", "Ostrel Sky.Vane", nullptr, "OSTREL SKY.VANE", true},
        {"WM_NAME only", nullptr, "Ostrel Sky.Vane", "ostrel sky.vane", true},
        {"_NET_WM_NAME comes first", "Something else", "Ostrel Sky.Vane", "Ostrel Sky.Vane", false},
        {"longer title", "Ostrel Sky.Vane Dialer", nullptr, "Ostrel Sky.Vane", false},
        {"shorter title", "Ostrel Sky", nullptr, "Ostrel Sky.Vane", false},
        {"Latin-1 WM_NAME", nullptr, "Caf\xE9", "CAF\xE9", true},
        {"UTF-8 _NET_WM_NAME", "Caf\xC3\xA9", nullptr, "caf\xE9", true},
        {"no ASCII folding beyond ASCII", "CAF\xC3\x89", nullptr, "caf\xE9", false},
    };
    for (const TitleRow& row : rows) {
        SCOPED_TRACE(row.what);
        Window w = screen->Create(row.netWmName, row.wmName);
        if (row.found) {
            HWND found = FindSoon(row.searched);
            EXPECT_EQ(w, X11WindowFinder::WindowId(found));
        } else {
            // Give the window manager time to list it, then make sure it is not taken.
            WaitFor([&] { return false; }, GetParam() ? 0.2 : 0);
            EXPECT_EQ(nullptr, finder->FindTopLevel(row.searched));
        }
        screen->Destroy(w);
        WaitFor([&] { return finder->FindTopLevel(row.searched) == nullptr; }, 5);
    }
}

TEST_P(FinderTest, WindowThatIsNotMappedIsNotFound) {
    Window w = screen->Create("Ostrel Sky.Vane", nullptr, false);
    WaitFor([&] { return false; }, 0.2);
    EXPECT_EQ(nullptr, finder->FindTopLevel("Ostrel Sky.Vane"));
    XMapWindow(screen->d, w);
    XSync(screen->d, False);
    EXPECT_EQ(w, X11WindowFinder::WindowId(FindSoon("Ostrel Sky.Vane")));
}

TEST_P(FinderTest, TopmostWindowCarriesTheAboveState) {
    Window w = screen->Create("Ostrel Sky.Vane", nullptr);
    HWND found = FindSoon("Ostrel Sky.Vane");
    ASSERT_NE(nullptr, found);
    auto width = [&] {
        XWindowAttributes attributes{};
        XGetWindowAttributes(screen->d, w, &attributes);
        return attributes.width;
    };
    // The window manager may still be settling the window in.
    ASSERT_TRUE(WaitFor([&] { return width() == 120; }, 5));

    EXPECT_TRUE(finder->SetPos(found, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));

    EXPECT_TRUE(WaitFor([&] { return screen->HasAboveState(w); }, 5));
    EXPECT_EQ(120, width()) << "SWP_NOSIZE was not kept";

    EXPECT_TRUE(finder->SetPos(found, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
    EXPECT_TRUE(WaitFor([&] { return !screen->HasAboveState(w); }, 5));
}

// Errors of other connections reach the handler that was there before the finder's.
std::atomic<int> g_otherErrors{0};
int CountingHandler(Display*, XErrorEvent*) {
    ++g_otherErrors;
    return 0;
}

TEST_P(FinderTest, VanishedWindowIsNoErrorAndOtherErrorsAreHandedOn) {
    XErrorHandler before = XSetErrorHandler(CountingHandler);
    g_otherErrors = 0;
    Window w = screen->Create("Ostrel Sky.Vane", nullptr);
    HWND found = FindSoon("Ostrel Sky.Vane");
    ASSERT_NE(nullptr, found);
    screen->Destroy(w);

    // The finder's own BadWindow: no crash, no error elsewhere, a failed call.
    EXPECT_FALSE(finder->SetPos(found, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
    EXPECT_FALSE(finder->SetPos(X11WindowFinder::Handle(0x7FFFFFF), HWND_TOP, 0, 0, 0, 0,
                                SWP_NOMOVE | SWP_NOSIZE));
    EXPECT_EQ(0, g_otherErrors.load());

    // The test's own connection: its error goes to the handler installed before the finder's.
    XRaiseWindow(screen->d, w);
    XSync(screen->d, False);
    EXPECT_EQ(1, g_otherErrors.load());
    XSetErrorHandler(before);
}

TEST_P(FinderTest, WindowsComingAndGoingDuringSearches) {
    // Another thread maps and destroys titled windows without pause while two threads search:
    // windows vanish between being listed and being read.
    std::atomic<bool> stop{false};
    std::thread churn([&] {
        Screen other(server.DisplayName());
        while (!stop) {
            Window w = other.Create("Churn", nullptr);
            other.Destroy(w);
        }
    });
    Window stays = screen->Create("Ostrel Sky.Vane", nullptr);
    ASSERT_NE(nullptr, FindSoon("Ostrel Sky.Vane"));
    std::atomic<int> misses{0};
    auto search = [&] {
        for (int i = 0; i < 150; ++i)
            if (X11WindowFinder::WindowId(finder->FindTopLevel("Ostrel Sky.Vane")) != stays)
                ++misses;
    };
    std::thread second(search);
    search();
    second.join();
    stop = true;
    churn.join();
    EXPECT_EQ(0, misses.load());
}

INSTANTIATE_TEST_SUITE_P(WindowManager, FinderTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& row) {
                             return row.param ? std::string("Openbox") : std::string("NoWm");
                         });

} // namespace

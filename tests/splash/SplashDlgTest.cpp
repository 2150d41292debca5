#include "SplashFixture.h"

#include "res/resource.h"

#include <algorithm>

namespace {

using platform::ui::Kind;
using platform::ui::Window;

struct PollCase {
    const char* name;
    std::vector<std::string> titles; // windows that exist before the splash starts
    bool flagSet;
    int looks;
    int sleeps;
    int topmost; // index into titles of the window made topmost, -1 for none
};

class SplashPollTest : public SplashFixture, public ::testing::WithParamInterface<PollCase> {};

TEST_P(SplashPollTest, EndsAsTheWindowsAndTheFlagDecide) {
    const PollCase& c = GetParam();
    std::vector<HWND> handles;
    for (const std::string& title : c.titles)
        handles.push_back(windows.AddWindow(title));
    g_bSplashDone = c.flagSet ? 1 : 0;

    EXPECT_EQ(0u, SplashThreadProc(nullptr));

    EXPECT_EQ(c.looks, windows.FindCount());
    for (const std::string& title : windows.TitlesSearched())
        EXPECT_EQ("Ostrel Sky.Vane", title);
    EXPECT_EQ(std::vector<DWORD>(static_cast<size_t>(c.sleeps), 1000), processes.Sleeps());
    const auto calls = windows.PosCalls();
    if (c.topmost < 0) {
        EXPECT_TRUE(calls.empty());
    } else {
        ASSERT_EQ(1u, calls.size());
        HWND found = handles[static_cast<size_t>(c.topmost)];
        EXPECT_EQ(found, calls[0].hWnd);
        EXPECT_EQ(HWND_TOPMOST, calls[0].insertAfter);
        EXPECT_EQ(SWP_NOMOVE | SWP_NOSIZE, calls[0].flags);
        EXPECT_TRUE(windows.IsTopmost(found));
    }
    EXPECT_TRUE(ui.OpenDialogs().empty()) << "the splash dialog outlived its thread";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SplashPollTest,
    ::testing::Values(PollCase{"ExactTitle", {"Ostrel Sky.Vane"}, false, 1, 0, 0},
                      PollCase{"TitleInOtherCase", {"oSTREL sKY.vANE"}, false, 1, 0, 0},
                      PollCase{"AmongOtherWindows", {"xterm", "Ostrel Sky.Vane"}, false, 1, 0, 1},
                      PollCase{"WindowBeatsTheFlag", {"Ostrel Sky.Vane"}, true, 1, 0, 0},
                      PollCase{
                          "DialerTitleDoesNotCount", {"Ostrel Sky.Vane Dialer"}, true, 1, 1, -1},
                      PollCase{"TrailingBlankDoesNotCount", {"Ostrel Sky.Vane "}, true, 1, 1, -1},
                      PollCase{"NoWindowFlagSet", {}, true, 1, 1, -1}),
    [](const ::testing::TestParamInfo<PollCase>& row) { return row.param.name; });

TEST_F(SplashFixture, WindowThatComesLaterEndsTheSplashAtTheNextLook) {
    windows.SetOnFind([this](int look) {
        if (look == 3)
            windows.AddWindow("Ostrel Sky.Vane");
    });

    SplashThreadProc(nullptr);

    EXPECT_EQ(3, windows.FindCount());
    EXPECT_EQ((std::vector<DWORD>{1000, 1000}), processes.Sleeps());
    ASSERT_EQ(1u, windows.PosCalls().size());
    EXPECT_TRUE(windows.IsTopmost(windows.PosCalls()[0].hWnd));
}

TEST_F(SplashFixture, FlagIsReadOnlyAfterASleep) {
    // Set during the second look: the splash still sleeps once more before it sees the flag.
    windows.SetOnFind([](int look) {
        if (look == 2)
            g_bSplashDone = 1;
    });

    SplashThreadProc(nullptr);

    EXPECT_EQ(2, windows.FindCount());
    EXPECT_EQ((std::vector<DWORD>{1000, 1000}), processes.Sleeps());
}

TEST_F(SplashFixture, ShowsTheSplashWhilePolling) {
    struct Seen {
        int dialogs = 0;
        UINT id = 0;
        bool visible = false;
        std::string caption = "?";
        RECT rect{};
        RECT button{};
        bool buttonEnabled = true;
        std::vector<std::string> texts;
    } seen;
    windows.SetOnFind([&](int look) {
        if (look != 1)
            return;
        auto open = ui.OpenDialogs();
        seen.dialogs = static_cast<int>(open.size());
        if (open.empty())
            return;
        Window& dlg = *open[0];
        seen.id = static_cast<UINT>(dlg.id);
        seen.visible = dlg.visible;
        seen.caption = dlg.text;
        seen.rect = dlg.rect;
        if (Window* button = dlg.child(IDC_ICON_BUTTON)) {
            seen.button = button->rect;
            seen.buttonEnabled = button->enabled;
        }
        for (auto& c : dlg.children)
            if (c->kind == Kind::Static)
                seen.texts.push_back(c->text);
        g_bSplashDone = 1;
    });

    SplashThreadProc(nullptr);

    ASSERT_EQ(1, seen.dialogs);
    EXPECT_EQ(static_cast<UINT>(IDD_SPLASH), seen.id);
    EXPECT_TRUE(seen.visible);
    EXPECT_EQ("", seen.caption);
    // 222 x 67 dialog units at 6 x 13 base units (67 * 13 / 8 = 108.9 rounds to 109, as
    // Windows' MulDiv does), centred on the 1024 x 768 screen.
    const LONG width = 333, height = 109;
    EXPECT_EQ((1024 - width) / 2, seen.rect.left);
    EXPECT_EQ((768 - height) / 2, seen.rect.top);
    EXPECT_EQ(width, seen.rect.right - seen.rect.left);
    EXPECT_EQ(height, seen.rect.bottom - seen.rect.top);
    // Icon size + 8 in each direction, where the template put its corner.
    EXPECT_EQ(9, seen.button.left);
    EXPECT_EQ(10, seen.button.top); // 6 * 13 / 8 = 9.75
    EXPECT_EQ(40, seen.button.right - seen.button.left);
    EXPECT_EQ(40, seen.button.bottom - seen.button.top);
    EXPECT_FALSE(seen.buttonEnabled);
    ASSERT_GE(seen.texts.size(), 2u);
    EXPECT_EQ("Ostrel Sky.Vane Version 1.0", seen.texts[0]);
    EXPECT_EQ("Loading...", seen.texts[1]);
    EXPECT_TRUE(ui.OpenDialogs().empty());
}

TEST_F(SplashFixture, SplashThatCannotBeCreatedStillPolls) {
    platform::ui::ResourceTable empty; // no template 105
    platform::ui::SetResources(&empty);
    windows.SetOnFind([this](int look) {
        if (look == 2)
            windows.AddWindow("Ostrel Sky.Vane");
    });

    EXPECT_EQ(0u, SplashThreadProc(nullptr));

    EXPECT_EQ(2, windows.FindCount());
    EXPECT_EQ(1u, windows.PosCalls().size());
    EXPECT_TRUE(ui.OpenDialogs().empty());
}

} // namespace

// The framework over Wine's user32: the launcher's templates made into real dialogs, laid out
// as the Linux framework lays them out, and the message maps, timers, posted messages, message
// boxes and F1 of the real dialog manager.
#include "platform/ui/TestDialogs.h"
#include "res/Resources.h"
#include "res/resource.h"
#include "win32/Wine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// The test dialogs and the launcher's, in one table.
const platform::ui::ResourceTable& AllResources() {
    static const platform::ui::ResourceTable table = [] {
        platform::ui::ResourceTable t = TestResources();
        for (const auto& d : LauncherResources().dialogs)
            t.dialogs.push_back(d);
        return t;
    }();
    return table;
}

class UiTest : public ::testing::Test {
  protected:
    void SetUp() override { platform::ui::SetResources(&AllResources()); }
    void TearDown() override { platform::ui::SetResources(nullptr); }
};

std::string ClassOf(HWND hWnd) {
    char name[64] = {};
    GetClassNameA(hWnd, name, sizeof name);
    return name;
}

// A window's rectangle in its dialog's client coordinates.
RECT InDialog(HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// Dialog units in pixels as the Linux framework computes them: each coordinate and size rounded
// on its own with the base units of the dialog's font.
struct Pixels {
    explicit Pixels(HWND dialog) { MapDialogRect(dialog, &units); }
    int X(int du) const { return (du * units.right + 2) / 4; }
    int Y(int du) const { return (du * units.bottom + 4) / 8; }
    RECT units{0, 0, 4, 8};
};

std::string Show(const RECT& r) {
    return "{" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
           std::to_string(r.right) + "," + std::to_string(r.bottom) + "}";
}

TEST_F(UiTest, TemplatesBecomeDialogsLaidOutAsTheFrameworkComputes) {
    for (UINT id : {UINT{IDD_ABOUTBOX}, UINT{IDD_SPLASH}, UINT{IDD_DIALER}, UINT{IDD_CONNECT},
                    kTestDialog, kKeysDialog}) {
        const platform::ui::DialogTemplate& t = *platform::ui::FindDialogTemplate(id);
        CDialog dlg(id);
        ASSERT_TRUE(dlg.Create(id)) << id;
        const Pixels px(dlg.m_hWnd);
        EXPECT_EQ(t.caption, dlg.GetWindowText()) << id;
        RECT client{};
        dlg.GetClientRect(&client);
        EXPECT_EQ(Show({0, 0, px.X(t.cx), px.Y(t.cy)}), Show(client)) << id;

        HWND control = GetWindow(dlg.m_hWnd, GW_CHILD);
        for (size_t i = 0; i < t.controls.size(); ++i, control = GetWindow(control, GW_HWNDNEXT)) {
            const platform::ui::ControlTemplate& c = t.controls[i];
            ASSERT_NE(nullptr, control) << id << " control " << i;
            const std::string where = std::to_string(id) + " control " + std::to_string(i);
            EXPECT_EQ(0, lstrcmpiA(c.className.c_str(), ClassOf(control).c_str())) << where;
            EXPECT_EQ(static_cast<WORD>(c.id), GetDlgCtrlID(control)) << where;
            const DWORD style = static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE));
            EXPECT_EQ(c.style & WS_DISABLED, style & WS_DISABLED) << where;
            EXPECT_EQ(c.style & WS_TABSTOP, style & WS_TABSTOP) << where;
            CWnd* obj = CWnd::FromHandle(control);
            ASSERT_NE(nullptr, obj) << where;
            if (c.className != "msctls_updown32") {
                EXPECT_EQ(c.text, obj->GetWindowText()) << where;
            }
            // An up-down control places itself and its buddy (below).
            const bool aligned =
                (i + 1 < t.controls.size() && t.controls[i + 1].className == "msctls_updown32") ||
                c.className == "msctls_updown32";
            const RECT want{px.X(c.x), px.Y(c.y), px.X(c.x) + px.X(c.cx), px.Y(c.y) + px.Y(c.cy)};
            RECT got = InDialog(control);
            if (c.className == "LISTBOX" && !(c.style & LBS_NOINTEGRALHEIGHT)) {
                // The real list trims its height to whole items (the Linux one keeps it): items
                // of the font it was made with, which under Wine is the system font's 16 pixels
                // (the dialog's font, 13 pixels an item, comes after).
                EXPECT_GT(got.bottom, want.bottom - 16) << where;
                EXPECT_LE(got.bottom, want.bottom) << where;
                got.bottom = want.bottom;
            }
            if (!aligned) {
                EXPECT_EQ(Show(want), Show(got)) << where;
            }
        }
        EXPECT_EQ(nullptr, control) << id << ": more controls than the template has";
        dlg.DestroyWindow();
        EXPECT_EQ(nullptr, dlg.m_hWnd);
    }
}

TEST_F(UiTest, RightAlignedArrowsTakeTheEndOfTheirEdit) {
    CDialog dlg(kTestDialog);
    ASSERT_TRUE(dlg.Create(kTestDialog));
    const Pixels px(dlg.m_hWnd);
    const RECT edit = InDialog(dlg.GetDlgItem(kEdit)->m_hWnd);
    const RECT spin = InDialog(dlg.GetDlgItem(kSpin)->m_hWnd);
    // The edit is 40 units wide at 70 units; it narrows to make room for the arrows, which
    // span its height at its right end (comctl32's arrows overlap its border).
    EXPECT_EQ(px.X(70), edit.left);
    EXPECT_LT(edit.right - edit.left, px.X(40));
    EXPECT_LE(spin.left, edit.right);
    EXPECT_GT(spin.right, edit.right);
    EXPECT_EQ(edit.top, spin.top);
    EXPECT_EQ(edit.bottom, spin.bottom);
    dlg.DestroyWindow();
}

// A dialog that runs a step of the test inside its modal loop.
class ScriptedDlg : public TestDlg {
  public:
    using TestDlg::TestDlg;
    std::function<void(ScriptedDlg&)> onInit;
    std::function<void(ScriptedDlg&, UINT_PTR)> onTimer;

    BOOL OnInitDialog() override {
        TestDlg::OnInitDialog();
        if (onInit)
            onInit(*this);
        return TRUE;
    }
    void OnTimer(UINT_PTR id) override {
        TestDlg::OnTimer(id);
        if (onTimer)
            onTimer(*this, id);
    }
};

TEST_F(UiTest, MessageMapsTimersAndPostedMessagesRunInTheModalLoop) {
    const UINT event = RegisterWindowMessageA("TestEvent");
    ScriptedDlg dlg;
    dlg.onInit = [&](ScriptedDlg& d) {
        // Objects of the controls' classes, the same each time they are asked for.
        EXPECT_NE(nullptr, dynamic_cast<CListBox*>(d.GetDlgItem(kList)));
        EXPECT_NE(nullptr, dynamic_cast<CEdit*>(d.GetDlgItem(kEdit)));
        EXPECT_EQ(d.GetDlgItem(kCheck), CWnd::FromHandle(d.GetDlgItem(kCheck)->m_hWnd));
        EXPECT_EQ(&d, d.GetDlgItem(kList)->GetParent());
        d.SendDlgItemMessage(kApply, BM_CLICK);
        d.SendDlgItemMessage(kCheck, BM_CLICK);
        EXPECT_EQ(BST_CHECKED, d.IsDlgButtonChecked(kCheck));
        std::thread([hDlg = d.m_hWnd, event] {
            for (WPARAM n = 1; n <= 3; ++n)
                PostMessageA(hDlg, event, n, 0);
        }).join();
        EXPECT_EQ(5u, d.SetTimer(5, 10, nullptr));
    };
    dlg.onTimer = [](ScriptedDlg& d, UINT_PTR id) {
        EXPECT_TRUE(d.KillTimer(id));
        EXPECT_FALSE(d.KillTimer(id));
        d.SendDlgItemMessage(IDOK, BM_CLICK);
    };
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ((std::vector<std::string>{"init", "apply", "check", "event 1", "event 2", "event 3",
                                        "timer 5", "ok"}),
              dlg.events);
    EXPECT_EQ(nullptr, dlg.m_hWnd);
}

TEST_F(UiTest, ReadsNumbersAsWindowsDoes) {
    CDialog dlg(kTestDialog);
    ASSERT_TRUE(dlg.Create(kTestDialog));
    // Wine reads the leading digits of "12a", and lets an unsigned reading of "-3" wrap round
    // (the C library's strtoul); the framework on Linux refuses both.
    const NumberRow wine[] = {{"-3", FALSE, static_cast<UINT>(-3), TRUE}, {"12a", FALSE, 12, TRUE}};
    for (const NumberRow& row : kNumberRows) {
        NumberRow r = row;
        for (const NumberRow& w : wine)
            if (RunsUnderWine() && std::string(w.text) == r.text && w.isSigned == r.isSigned)
                r = w;
        dlg.SetDlgItemText(kEdit, r.text);
        BOOL ok = -1;
        EXPECT_EQ(r.value, dlg.GetDlgItemInt(kEdit, &ok, r.isSigned)) << r.text;
        EXPECT_EQ(r.ok, ok) << r.text;
    }
    dlg.SetDlgItemInt(kEdit, 86400, FALSE);
    std::string text;
    dlg.GetDlgItemText(kEdit, text);
    EXPECT_EQ("86400", text);
    dlg.DestroyWindow();
}

TEST_F(UiTest, MessageBoxesCarryTheTitleAndBelongToTheActiveDialog) {
    TestApp app;
    ScriptedDlg dlg;
    std::atomic<HWND> owner{nullptr};
    HWND dialog = nullptr;
    int answer = 0;
    dlg.onInit = [](ScriptedDlg& d) { d.SetTimer(1, 10, nullptr); };
    dlg.onTimer = [&](ScriptedDlg& d, UINT_PTR id) {
        d.KillTimer(id);
        dialog = d.m_hWnd;
        std::thread answerer([&] {
            if (HWND box = WaitForValue([] { return FindWindowA("#32770", "Test Title"); }, 10)) {
                owner = GetWindow(box, GW_OWNER);
                PostMessageA(box, WM_COMMAND, IDNO, 0);
            }
        });
        answer = AfxMessageBox("Question?", MB_YESNO);
        answerer.join();
        d.EndDialog(IDCANCEL);
    };
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    EXPECT_EQ(IDNO, answer);
    EXPECT_EQ(dialog, owner.load());
}

TEST_F(UiTest, HelpAsksTheApplicationForTheAboutBox) {
    TestApp app;
    ScriptedDlg dlg;
    dlg.onInit = [](ScriptedDlg& d) {
        HELPINFO help{sizeof(HELPINFO), HELPINFO_WINDOW, 0, nullptr, 0, {0, 0}};
        d.SendMessage(WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
        d.EndDialog(IDCANCEL);
    };
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    EXPECT_EQ(1, app.abouts);
}

// An owner-draw button subclassed by its object: its paint requests and erases reach it.
class CountingButton : public CButton {
  public:
    int draws = 0, erases = 0;
    void DrawItem(LPDRAWITEMSTRUCT item) override {
        if (item->hDC && item->hwndItem == m_hWnd)
            ++draws;
    }

  protected:
    BOOL OnEraseBkgnd(CDC*) override {
        ++erases;
        return TRUE;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CountingButton, CButton)
ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

TEST_F(UiTest, SubclassedOwnerDrawButtonPaintsThroughItsObject) {
    CDialog dlg(IDD_SPLASH);
    ASSERT_TRUE(dlg.Create(IDD_SPLASH));
    CWnd* made = dlg.GetDlgItem(IDC_ICON_BUTTON);
    ASSERT_NE(nullptr, made);
    CountingButton button;
    ASSERT_TRUE(button.SubclassDlgItem(IDC_ICON_BUTTON, &dlg));
    EXPECT_FALSE(button.SubclassDlgItem(IDC_ICON_BUTTON, &dlg));
    EXPECT_EQ(&button, dlg.GetDlgItem(IDC_ICON_BUTTON));
    dlg.ShowWindow(SW_SHOW);
    button.Invalidate(TRUE);
    dlg.UpdateWindow();
    EXPECT_GE(button.draws, 1);
    EXPECT_GE(button.erases, 1);
    HWND hButton = button.m_hWnd;
    button.DestroyWindow();
    EXPECT_FALSE(IsWindow(hButton));
    EXPECT_EQ(nullptr, button.m_hWnd);
    dlg.DestroyWindow();
}

} // namespace

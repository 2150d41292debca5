// The framework on the headless backend: message maps, the controls' own behaviour, posted
// messages, modal runs, and the helpers.
#include "platform/process.h"
#include "platform/ui/TestDialogs.h"
#include "platform/ui_headless.h"
#include "platform/ui_resources.h"
#include "res/Resources.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <sstream>
#include <thread>

using platform::ui::HeadlessDialog;
using platform::ui::HeadlessUi;
using platform::ui::kKeyAlt;
using platform::ui::kKeyShift;

namespace {

class FrameworkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::ui::InstallUi(&ui);
        platform::ui::SetResources(&resources);
    }
    void TearDown() override {
        EXPECT_TRUE(ui.Problems().empty()) << ::testing::PrintToString(ui.Problems());
        platform::ui::InstallUi(nullptr);
        platform::ui::SetResources(nullptr);
    }
    // Runs the test dialog with `script` played on it, and Escape to end it afterwards.
    void RunThenEscape(TestDlg& dlg, const std::function<void(HeadlessDialog&)>& script) {
        ui.Play(kTestDialog, [&](HeadlessDialog& d) {
            script(d);
            d.Escape();
        });
        dlg.DoModal();
    }

    platform::ui::ResourceTable resources = TestResources();
    HeadlessUi ui;
};

TEST_F(FrameworkTest, MessageMapsReachHandlersAndDefaultsEndTheDialog) {
    TestDlg dlg;
    ui.Play(kTestDialog, [](HeadlessDialog& d) {
        d.Click(kApply);
        d.Click(kCheck);
        d.Type(kEdit, "x");
        d.Enter();
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ((std::vector<std::string>{"init", "apply", "check", "change", "ok"}), dlg.events);
    EXPECT_EQ(nullptr, dlg.m_hWnd);
}

TEST_F(FrameworkTest, EscapeAndCloseBoxCancel) {
    for (int way = 0; way < 2; ++way) {
        TestDlg dlg;
        ui.Play(kTestDialog, [way](HeadlessDialog& d) { way ? d.Close() : d.Escape(); });
        EXPECT_EQ(IDCANCEL, dlg.DoModal()) << way;
    }
}

TEST_F(FrameworkTest, DisabledDefaultButtonIgnoresEnter) {
    TestDlg dlg;
    ui.Play(kTestDialog, [&](HeadlessDialog& d) {
        dlg.GetDlgItem(IDOK)->EnableWindow(FALSE);
        d.Enter();
        EXPECT_FALSE(d.Ended());
        d.Escape();
    });
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
}

// Plays a line of keys: "tab", "shift+tab", "enter", "escape", "up", "down", "home", "end",
// "prior", "next", "alt+x", a letter alone, and "click-list" (the mouse puts the focus there).
void PlayKeys(HeadlessDialog& d, const std::string& keys) {
    static const std::map<std::string, UINT> named = {
        {"tab", VK_TAB}, {"enter", VK_RETURN}, {"escape", VK_ESCAPE},
        {"up", VK_UP},   {"down", VK_DOWN},    {"home", VK_HOME},
        {"end", VK_END}, {"prior", VK_PRIOR},  {"next", VK_NEXT},
    };
    std::istringstream in(keys);
    for (std::string key; in >> key;) {
        UINT modifiers = 0;
        for (const auto& [prefix, flag] : {std::pair{"shift+", kKeyShift}, {"alt+", kKeyAlt}})
            if (key.rfind(prefix, 0) == 0) {
                modifiers |= flag;
                key.erase(0, std::strlen(prefix));
            }
        if (key == "click-list")
            d.Focus(kList);
        else if (named.count(key))
            d.Press(named.at(key), modifiers);
        else
            d.Press(static_cast<UINT>(std::toupper(static_cast<unsigned char>(key[0]))), modifiers);
    }
}

TEST_F(FrameworkTest, DialogKeysMoveTheFocusAndPressButtonsAsOnWindows) {
    struct Row {
        const char* keys;
        int focus;     // the control with the focus afterwards
        int defaultId; // the push button with the default frame
        std::vector<std::string> events;
        INT_PTR result; // 0: the dialog is still open
        const char* edit = "";
        int selection = -1;
    };
    const std::string sel = "selchange";
    const Row rows[] = {
        // Tab order: the tab stops in template order, round the end, the statics skipped.
        {"", IDOK, IDOK, {}, 0},
        {"tab", IDCANCEL, IDCANCEL, {}, 0},
        {"tab tab tab", kEdit, IDOK, {}, 0},
        {"shift+tab", kCheck, IDOK, {}, 0},
        {"tab tab tab tab tab tab", IDOK, IDOK, {}, 0},
        // Arrows move within the group, round its ends; the check box starts another group.
        {"down", IDCANCEL, IDCANCEL, {}, 0},
        {"up", kList, IDOK, {}, 0},
        {"shift+tab down", kCheck, IDOK, {}, 0},
        // Mnemonics: a label hands the focus on; a button is clicked; a check box takes the
        // focus and is clicked; a disabled one does nothing; "&Go" and "&Gate" take turns.
        {"alt+n", kEdit, IDOK, {}, 0},
        {"alt+a", IDOK, IDOK, {"apply"}, 0},
        {"alt+c", kCheck, IDOK, {"check"}, 0},
        {"alt+d", IDOK, IDOK, {}, 0},
        {"alt+g", kList, IDOK, {}, 0},
        {"alt+g alt+g", IDOK, IDOK, {}, 0},
        {"alt+x", IDOK, IDOK, {}, 0},
        // Without Alt a letter is a mnemonic where the focus takes no characters.
        {"a", IDOK, IDOK, {"apply"}, 0},
        {"alt+n a", kEdit, IDOK, {}, 0},
        // Enter: the push button with the focus, else the default button.
        {"enter", IDOK, IDOK, {"ok"}, IDOK},
        {"tab enter", IDCANCEL, IDCANCEL, {}, IDCANCEL},
        {"alt+n enter", kEdit, IDOK, {"ok"}, IDOK},
        {"escape", IDOK, IDOK, {}, IDCANCEL},
        // An edit's arrows belong to its up-down control.
        {"alt+n up up", kEdit, IDOK, {"change", "change"}, 0, "2"},
        {"alt+n up down down", kEdit, IDOK, {"change", "change", "change"}, 0, "0"},
        // The list: the keys move its selection, each change notified once.
        {"click-list down", kList, IDOK, {sel}, 0, "", 0},
        {"click-list up", kList, IDOK, {sel}, 0, "", 0},
        {"click-list down down up", kList, IDOK, {sel, sel, sel}, 0, "", 0},
        {"click-list end", kList, IDOK, {sel}, 0, "", 8},
        {"click-list end down end", kList, IDOK, {sel}, 0, "", 8},
        {"click-list home up", kList, IDOK, {sel}, 0, "", 0},
        {"click-list next", kList, IDOK, {sel}, 0, "", 0},
        {"click-list down next next", kList, IDOK, {sel, sel, sel}, 0, "", 6},
        {"click-list end prior", kList, IDOK, {sel, sel}, 0, "", 5},
        {"click-list end next", kList, IDOK, {sel}, 0, "", 8},
        {"click-list b", kList, IDOK, {sel}, 0, "", 1},
        {"click-list b b", kList, IDOK, {sel, sel}, 0, "", 2},
        {"click-list b b b", kList, IDOK, {sel, sel, sel}, 0, "", 1},
        {"click-list z", kList, IDOK, {}, 0, "", -1},
        {"click-list h tab", kCheck, IDOK, {sel}, 0, "", 8},
    };
    for (const Row& row : rows) {
        TestDlg dlg(nullptr, kKeysDialog);
        ui.Play(kKeysDialog, [&](HeadlessDialog& d) {
            auto* list = static_cast<CListBox*>(dlg.GetDlgItem(kList));
            for (const char* item :
                 {"alpha", "Beta", "bravo", "charlie", "delta", "echo", "fox", "golf", "hotel"})
                list->AddString(item);
            dlg.SendDlgItemMessage(kSpin, UDM_SETRANGE32, 0, 100);
            PlayKeys(d, row.keys);
            EXPECT_EQ(row.focus, d.Focused()) << row.keys;
            int framed = 0;
            for (int id : {IDOK, IDCANCEL, kApply})
                if (dlg.SendDlgItemMessage(id, WM_GETDLGCODE) & DLGC_DEFPUSHBUTTON)
                    framed = framed ? -1 : id;
            EXPECT_EQ(row.defaultId, framed) << row.keys;
            EXPECT_EQ(row.result, d.Ended() ? d.Result() : 0) << row.keys;
            if (d.Ended())
                return;
            EXPECT_EQ(row.edit, d.Text(kEdit)) << row.keys;
            EXPECT_EQ(row.selection, d.Selection(kList)) << row.keys;
            d.Escape();
        });
        dlg.DoModal();
        std::vector<std::string> events(dlg.events.begin() + 1, dlg.events.end()); // after "init"
        EXPECT_EQ(row.events, events) << row.keys;
    }
}

TEST_F(FrameworkTest, SortedListNotifiesOnlyTheUsersSelection) {
    TestDlg dlg;
    RunThenEscape(dlg, [&](HeadlessDialog& d) {
        auto* list = static_cast<CListBox*>(dlg.GetDlgItem(kList));
        EXPECT_EQ(0, list->AddString("beta"));
        EXPECT_EQ(0, list->AddString("Alpha"));
        EXPECT_EQ(2, list->AddString("gamma"));
        // Equal names (ignoring case) keep the order they came in.
        EXPECT_EQ(2, list->AddString("BETA"));
        EXPECT_EQ((std::vector<std::string>{"Alpha", "beta", "BETA", "gamma"}), d.Items(kList));
        EXPECT_EQ(LB_ERR, list->GetCurSel());
        EXPECT_EQ(3, list->SetCurSel(3));
        EXPECT_EQ(LB_ERR, list->SetCurSel(4));
        EXPECT_EQ(LB_ERR, list->GetCurSel());
        std::string text = "sentinel";
        EXPECT_EQ(LB_ERR, list->GetText(-1, text));
        EXPECT_EQ("", text);
        EXPECT_EQ(5, list->GetText(3, text));
        EXPECT_EQ("gamma", text);
        d.Select(kList, 1);
        EXPECT_EQ(1, list->GetCurSel());
        // A list without LBS_NOTIFY keeps quiet.
        static_cast<CListBox*>(dlg.GetDlgItem(kPlain))->AddString("x");
        d.Select(kPlain, 0);
    });
    EXPECT_EQ((std::vector<std::string>{"init", "selchange"}), dlg.events);
}

TEST_F(FrameworkTest, ReadsNumbersAsWindowsDoes) {
    TestDlg dlg;
    RunThenEscape(dlg, [&](HeadlessDialog& d) {
        for (const NumberRow& r : kNumberRows) {
            dlg.SetDlgItemText(kEdit, r.text);
            BOOL ok = -1;
            EXPECT_EQ(r.value, dlg.GetDlgItemInt(kEdit, &ok, r.isSigned)) << r.text;
            EXPECT_EQ(r.ok, ok) << r.text;
        }
        dlg.SetDlgItemInt(kEdit, 86400, FALSE);
        EXPECT_EQ("86400", d.Text(kEdit));
    });
}

TEST_F(FrameworkTest, EditLimitCutsTypingAndSpinStaysInRange) {
    TestDlg dlg;
    RunThenEscape(dlg, [&](HeadlessDialog& d) {
        dlg.SendDlgItemMessage(kEdit, EM_LIMITTEXT, 3);
        d.Type(kEdit, "12345");
        EXPECT_EQ("123", d.Text(kEdit));

        // The 16-bit range message cannot hold 86400; the 32-bit one can.
        dlg.SendDlgItemMessage(kSpin, UDM_SETRANGE, 0, MAKELPARAM(86400 & 0xFFFF, 0));
        EXPECT_EQ(std::make_pair(0, 86400 & 0xFFFF), d.Range(kSpin));
        dlg.SendDlgItemMessage(kSpin, UDM_SETRANGE32, 0, 86400);
        EXPECT_EQ(std::make_pair(0, 86400), d.Range(kSpin));

        dlg.SendDlgItemMessage(kSpin, UDM_SETRANGE32, 1, 10);
        dlg.SetDlgItemText(kEdit, "10");
        d.Spin(kSpin, 1);
        EXPECT_EQ("10", d.Text(kEdit));
        d.Spin(kSpin, -1);
        EXPECT_EQ("9", d.Text(kEdit));
        dlg.SetDlgItemText(kEdit, "abc");
        d.Spin(kSpin, 1);
        EXPECT_EQ("2", d.Text(kEdit));
    });
}

TEST_F(FrameworkTest, RightAlignedArrowsTakeTheEndOfTheirEdit) {
    TestDlg dlg;
    RunThenEscape(dlg, [&](HeadlessDialog&) {
        RECT edit{}, spin{};
        dlg.GetDlgItem(kEdit)->GetWindowRect(&edit);
        dlg.GetDlgItem(kSpin)->GetWindowRect(&spin);
        // The edit is 40 units (60 px) wide at 70 units; the arrows are 10 units (15 px).
        EXPECT_EQ(60 - 15, edit.right - edit.left);
        EXPECT_EQ(edit.right, spin.left);
        EXPECT_EQ(15, spin.right - spin.left);
        EXPECT_EQ(edit.top, spin.top);
        EXPECT_EQ(edit.bottom, spin.bottom);
    });
}

TEST_F(FrameworkTest, TimersTickOnlyWhileSet) {
    TestDlg dlg;
    RunThenEscape(dlg, [&](HeadlessDialog& d) {
        EXPECT_EQ(2u, dlg.SetTimer(2, 1000, nullptr));
        EXPECT_TRUE(d.TimerRunning(2));
        d.Tick(2);
        EXPECT_TRUE(dlg.KillTimer(2));
        EXPECT_FALSE(dlg.KillTimer(2));
        d.Tick(2);
    });
    EXPECT_EQ((std::vector<std::string>{"init", "timer 2"}), dlg.events);
}

TEST_F(FrameworkTest, PostedMessagesFromAnotherThreadArriveInOrderOnTheLoop) {
    UINT msg = RegisterWindowMessageA("TestEvent");
    TestDlg dlg;
    HWND seen = nullptr;
    RunThenEscape(dlg, [&](HeadlessDialog& d) {
        seen = dlg.m_hWnd;
        std::thread worker([&] {
            for (int i = 1; i <= 3; ++i)
                EXPECT_TRUE(PostMessageA(dlg.m_hWnd, msg, static_cast<WPARAM>(i), 0));
        });
        worker.join();
        EXPECT_EQ(3u, dlg.events.size() + 2); // nothing delivered before the loop runs
        EXPECT_EQ(3, d.DeliverPosted());
    });
    EXPECT_EQ((std::vector<std::string>{"init", "event 1", "event 2", "event 3"}), dlg.events);
    // The window is gone: posting to it fails and nothing is left to deliver.
    EXPECT_FALSE(PostMessageA(seen, msg, 4, 0));
    EXPECT_EQ(0, platform::ui::DeliverPostedMessages());
}

TEST_F(FrameworkTest, MessagesPostedToAWindowThatWentAwayAreDropped) {
    UINT msg = RegisterWindowMessageA("TestEvent");
    TestDlg dlg;
    RunThenEscape(dlg, [&](HeadlessDialog&) { EXPECT_TRUE(PostMessageA(dlg.m_hWnd, msg, 1, 0)); });
    EXPECT_EQ(0, platform::ui::DeliverPostedMessages());
}

TEST_F(FrameworkTest, DialogEndedDuringInitialisationRunsNoLoop) {
    TestDlg dlg;
    dlg.endInInit = true;
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    EXPECT_TRUE(ui.DialogsRun().empty());
}

TEST_F(FrameworkTest, NestedModalDisablesItsOwnerWhileItRuns) {
    TestDlg outer;
    outer.onApply = [](TestDlg& self) {
        TestDlg inner(&self);
        EXPECT_EQ(IDOK, inner.DoModal());
        EXPECT_TRUE(self.IsWindowEnabled());
    };
    ui.Play(kTestDialog, [&](HeadlessDialog& d) {
        d.Click(kApply);
        d.Escape();
    });
    ui.Play(kTestDialog, [&](HeadlessDialog& d) {
        EXPECT_FALSE(outer.IsWindowEnabled());
        d.Enter();
    });
    EXPECT_EQ(IDCANCEL, outer.DoModal());
}

TEST_F(FrameworkTest, UnhandledCommandsReachTheApplication) {
    TestApp app;
    TestDlg dlg;
    RunThenEscape(dlg, [&](HeadlessDialog& d) { d.PressF1(); });
    EXPECT_EQ(1, app.abouts);
}

TEST_F(FrameworkTest, MessageBoxesCarryTheTitleAndDefaultToTheFirstButton) {
    {
        TestApp app;
        EXPECT_EQ(IDYES, AfxMessageBox("Question?", MB_YESNO | MB_SYSTEMMODAL));
        ui.Answer(IDNO);
        EXPECT_EQ(IDNO, AfxMessageBox("Again?", MB_YESNO));
    }
    EXPECT_EQ(IDOK, AfxMessageBox("Without an application object"));
    auto boxes = ui.MessageBoxes();
    ASSERT_EQ(3u, boxes.size());
    EXPECT_EQ("Test Title", boxes[0].caption);
    EXPECT_EQ(MB_YESNO | MB_SYSTEMMODAL, boxes[0].type);
    EXPECT_EQ("Test Title", boxes[2].caption);
}

} // namespace

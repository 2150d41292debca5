// CConnectDlg: attempts, countdown, hang-ups and results, played on the scripted line with the
// test as the one-second timer.
#include "DialupDialogFixture.h"

#include "dialup/ConnectDlg.h"

#include <cstring>

using platform::ui::HeadlessDialog;

namespace {

class ConnectDlgTest : public DialupDialogTest {
  protected:
    INT_PTR Run(UINT attempts, UINT delay, std::function<void(HeadlessDialog&)> script,
                const std::string& user = "joe") {
        if (script)
            screen.Play(IDD_CONNECT, std::move(script));
        CConnectDlg dialog("Office", user, "secret", "WORK", attempts, delay);
        return dialog.DoModal();
    }
    std::vector<HRASCONN> HangUps() const { return dialup.HangUps(); }
};

TEST_F(ConnectDlgTest, TitleAndDialRecord) {
    const std::pair<std::string, std::string> rows[] = {{"joe", "Dialing Office : joe"},
                                                        {"", "Dialing Office : "}};
    for (const auto& [user, title] : rows) {
        SCOPED_TRACE(title);
        std::string seen;
        Run(
            10, 5,
            [&](HeadlessDialog& d) {
                seen = d.Title();
                EXPECT_EQ("Attempt 1 of 10", d.Text(IDC_ATTEMPT_LINE));
                EXPECT_EQ("Dialing...", d.Text(IDC_STATUS_LINE));
                EXPECT_EQ(d.Record().handle(), dialup.Dials().back().notifier);
                d.Click(IDCANCEL);
            },
            user);
        EXPECT_EQ(title, seen);
    }
    for (const platform::FakeDialCall& call : dialup.Dials()) {
        EXPECT_FALSE(call.hasPhonebook);
        EXPECT_EQ(RASNOTIFIER_HWND, call.notifierType);
        EXPECT_EQ(1052u, call.params.dwSize);
        EXPECT_STREQ("Office", call.params.szEntryName);
        EXPECT_STREQ("", call.params.szPhoneNumber);
        EXPECT_STREQ("", call.params.szCallbackNumber);
        EXPECT_STREQ("secret", call.params.szPassword);
        EXPECT_STREQ("WORK", call.params.szDomain);
    }
}

TEST_F(ConnectDlgTest, TextsLongerThanTheRecordAreCut) {
    screen.Play(IDD_CONNECT, [](HeadlessDialog& d) { d.Click(IDCANCEL); });
    CConnectDlg dialog(std::string(300, 'e'), std::string(300, 'u'), std::string(300, 'p'),
                       std::string(40, 'd'), 1, 1);
    dialog.DoModal();
    ASSERT_NO_FATAL_FAILURE(ExpectOneDialCutToTheRecord());
    EXPECT_EQ(std::string(256, 'e'), dialup.Dials()[0].params.szEntryName);
}

struct NotificationRow {
    DWORD state;
    DWORD error;
    const char* status;
    INT_PTR result; // 0: the dialog goes on (dialing or delaying)
    bool delaying;
};

// One notification on the first of two attempts: its status text and what follows.
TEST_F(ConnectDlgTest, EachNotificationShowsItsStateAndDecides) {
    const NotificationRow rows[] = {
        {0, 0, "Opening Port...", 0, false},
        {1, 0, "Port Opened", 0, false},
        {2, 0, "Connecting to Device...", 0, false},
        {3, 0, "Device Connected", 0, false},
        {4, 0, "All Devices Connected", 0, false},
        {5, 0, "Authenticating", 0, false},
        {6, 0, "Authentication Notify", 0, false},
        {7, 0, "Authentication Retry", 0, false},
        {8, 0, "Callback Requested", 0, false},
        {9, 0, "Change Password Requested", 0, false},
        {10, 0, "Projection Phase Started", 0, false},
        {11, 0, "Link Speed Calculation", 0, false},
        {12, 0, "Authentication Acknowledged", 0, false},
        {13, 0, "Reauthenticatation Started", 0, false},
        {14, 0, "Authenticated", 0, false},
        {15, 0, "Preparation For Callback", 0, false},
        {16, 0, "Waiting For Modem Reset", 0, false},
        {17, 0, "Waiting For Callback", 0, false},
        {18, 0, "Undefined Error", 0, false},
        {19, 0, "Undefined Error", 0, false},
        {0x1000, 0, "Interactive", 0, false},
        {0x1001, 0, "Retry Authentication", 0, false},
        {0x1002, 0, "Callback Set By Caller", 0, false},
        {0x1003, 0, "Password Expired", 0, false},
        {0x1004, 0, "Undefined Error", 0, false},
        {0x2000, 0, "Connected", IDOK, false},
        {2, ERROR_LINE_BUSY, "Connecting to Device...", 0, true},
        {18, ERROR_NO_ANSWER, "Undefined Error", 0, true},
        {0x2000, ERROR_AUTHENTICATION_FAILURE, "Connected", 0, true},
        // A line that went down is a failed attempt, with or without a code.
        {0x2001, ERROR_REMOTE_DISCONNECTION, "Disconnected", 0, true},
        {0x2001, 0, "Disconnected", 0, true},
        {0x2002, 0, "Undefined Error", 0, true},
    };
    for (const NotificationRow& row : rows) {
        SCOPED_TRACE(row.state);
        dialup.Reset();
        std::string status;
        bool ended = false, delaying = false;
        INT_PTR result = Run(2, 3, [&](HeadlessDialog& d) {
            Line(d, static_cast<RASCONNSTATE>(row.state), row.error);
            status = d.Text(IDC_STATUS_LINE);
            ended = d.Ended();
            delaying = d.TimerRunning(2);
            if (!ended)
                d.Click(IDCANCEL);
        });
        EXPECT_EQ(row.status, status);
        EXPECT_EQ(row.result != 0, ended);
        EXPECT_EQ(row.delaying, delaying);
        EXPECT_EQ(row.result != 0 ? row.result : IDCANCEL, result);
        EXPECT_EQ(1u, dialup.Dials().size());
        // Whatever ends a dialog but a connection hangs the attempt up.
        EXPECT_EQ(row.result == IDOK ? std::vector<HRASCONN>{} : std::vector<HRASCONN>{0x101},
                  HangUps());
    }
}

TEST_F(ConnectDlgTest, ConnectionEndsWithOkAndStaysUp) {
    INT_PTR result = Run(3, 5, [&](HeadlessDialog& d) {
        Line(d, RASCS_OpenPort);
        Line(d, RASCS_ConnectDevice);
        d.Enter(); // no OK button: Enter reports nothing
        EXPECT_FALSE(d.Ended());
        Line(d, RASCS_Authenticate);
        Line(d, RASCS_Connected);
    });
    EXPECT_EQ(IDOK, result);
    EXPECT_TRUE(HangUps().empty());
    EXPECT_EQ(std::vector<HRASCONN>{0x101}, dialup.Connections());
    EXPECT_TRUE(processes.Sleeps().empty());
}

TEST_F(ConnectDlgTest, SingleAttemptFailsWithoutCountdown) {
    // Attempts 1 and 0 alike make one attempt; its failure ends the dialog at once.
    const std::pair<UINT, const char*> rows[] = {{1, "Attempt 1 of 1"}, {0, "Attempt 1 of 0"}};
    for (const auto& [attempts, line] : rows) {
        SCOPED_TRACE(line);
        screen.attemptLines.clear();
        dialup.Reset();
        bool timer = true;
        INT_PTR result = Run(attempts, 5, [&](HeadlessDialog& d) {
            EXPECT_EQ(line, d.Text(IDC_ATTEMPT_LINE));
            Line(d, RASCS_ConnectDevice, ERROR_LINE_BUSY);
            timer = d.TimerRunning(2);
        });
        EXPECT_EQ(IDCANCEL, result);
        EXPECT_FALSE(timer);
        EXPECT_EQ((std::vector<std::string>{line, "Number of attempts exceeded."}),
                  screen.attemptLines);
        // The failed attempt is released before the dialog ends.
        EXPECT_EQ(std::vector<HRASCONN>{0x101}, HangUps());
        EXPECT_EQ(1u, dialup.Dials().size());
    }
}

TEST_F(ConnectDlgTest, ThreeFailingAttemptsCountDownTwiceAndHangUpEachOne) {
    INT_PTR result = Run(3, 5, [&](HeadlessDialog& d) {
        for (int round = 1; round <= 2; ++round) {
            Line(d, RASCS_OpenPort);
            Line(d, RASCS_ConnectDevice, ERROR_LINE_BUSY);
            EXPECT_TRUE(d.TimerRunning(2));
            Ticks(d, 4);
            EXPECT_EQ("Delaying  :  1", d.Text(IDC_STATUS_LINE));
            EXPECT_EQ(static_cast<std::size_t>(round), dialup.Dials().size());
            Ticks(d, 1);
            EXPECT_FALSE(d.TimerRunning(2));
            EXPECT_EQ(static_cast<std::size_t>(round + 1), dialup.Dials().size());
        }
        Line(d, RASCS_Authenticate, ERROR_AUTHENTICATION_FAILURE);
    });
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_EQ((std::vector<std::string>{"Attempt 1 of 3", "Attempt 2 of 3", "Attempt 3 of 3",
                                        "Number of attempts exceeded."}),
              screen.attemptLines);
    std::vector<std::string> countdown = {
        "Opening Port...", "Connecting to Device...", "Delaying  :  4", "Delaying  :  3",
        "Delaying  :  2",  "Delaying  :  1",          "Delaying  :  0", "Hanging up..."};
    std::vector<std::string> expected = countdown;
    expected.insert(expected.end(), countdown.begin(), countdown.end());
    expected.push_back("Authenticating");
    EXPECT_EQ(expected, screen.statusLines);
    // Two hang-ups before redialing, each with its pause, and the last failure released too.
    EXPECT_EQ((std::vector<HRASCONN>{0x101, 0x102, 0x103}), HangUps());
    EXPECT_EQ((std::vector<DWORD>{3000, 3000}), processes.Sleeps());
}

TEST_F(ConnectDlgTest, NoDelayRedialsAtTheFirstTick) {
    INT_PTR result = Run(2, 0, [&](HeadlessDialog& d) {
        Line(d, RASCS_ConnectDevice, ERROR_NO_DIALTONE);
        EXPECT_TRUE(d.TimerRunning(2));
        Ticks(d, 1);
        EXPECT_FALSE(d.TimerRunning(2));
        EXPECT_EQ("Attempt 2 of 2", d.Text(IDC_ATTEMPT_LINE));
        Line(d, RASCS_Connected);
    });
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ((std::vector<std::string>{"Connecting to Device...", "Delaying  :  0",
                                        "Hanging up...", "Connected"}),
              screen.statusLines);
    EXPECT_EQ(std::vector<HRASCONN>{0x101}, HangUps());
    EXPECT_EQ(std::vector<HRASCONN>{0x102}, dialup.Connections());
}

TEST_F(ConnectDlgTest, CancelDuringTheCountdownHangsUpTheFailedAttempt) {
    using Act = void (*)(HeadlessDialog&);
    const std::pair<const char*, Act> rows[] = {
        {"Cancel button", [](HeadlessDialog& d) { d.Click(IDCANCEL); }},
        {"Escape", [](HeadlessDialog& d) { d.Escape(); }},
        {"close box", [](HeadlessDialog& d) { d.Close(); }},
    };
    HRASCONN expectedHandle = 0x101;
    for (const auto& [what, act] : rows) {
        SCOPED_TRACE(what);
        std::size_t dialsBefore = dialup.Dials().size();
        INT_PTR result = Run(3, 5, [&](HeadlessDialog& d) {
            Line(d, RASCS_ConnectDevice, ERROR_NO_ANSWER);
            Ticks(d, 2);
            act(d);
        });
        EXPECT_EQ(IDCANCEL, result);
        EXPECT_EQ(dialsBefore + 1, dialup.Dials().size()); // no further attempt
        ASSERT_FALSE(HangUps().empty());
        EXPECT_EQ(expectedHandle++, HangUps().back());
    }
    EXPECT_TRUE(processes.Sleeps().empty());
}

TEST_F(ConnectDlgTest, RefusedStartShowsTheErrorAndHangsUpNoHandle) {
    struct Row {
        DWORD code;
        bool removeText;
        const char* box;
    };
    const Row rows[] = {
        {ERROR_PORT_NOT_AVAILABLE, false,
         "RasDial: The port is already in use or is not configured for Remote Access dial out."},
        {742, false, "RasDial: Undefined RAS Dial Error (742)."},
        {ERROR_LINE_BUSY, true, "RasDial: Undefined RAS Dial Error (676)."},
        // "%ld" is 32-bit signed, as on Windows.
        {0xFFFFFFFFu, false, "RasDial: Undefined RAS Dial Error (-1)."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.box);
        dialup.Reset();
        if (row.removeText)
            dialup.SetErrorText(row.code, std::nullopt);
        dialup.QueueDialResult(row.code);
        std::size_t boxes = screen.MessageBoxes().size();
        // The dialog ends during its initialisation, before any user could act.
        EXPECT_EQ(IDCANCEL, Run(10, 5, nullptr));
        ASSERT_EQ(boxes + 1, BoxTexts().size());
        EXPECT_EQ(row.box, BoxTexts().back());
        EXPECT_EQ(std::vector<HRASCONN>{0}, HangUps());
        EXPECT_EQ(1u, dialup.Dials().size());
    }
}

TEST_F(ConnectDlgTest, RefusedRedialEndsWithoutFurtherAttempts) {
    INT_PTR result = Run(5, 1, [&](HeadlessDialog& d) {
        dialup.QueueDialResult(ERROR_PORT_NOT_AVAILABLE); // for the second attempt
        Line(d, RASCS_ConnectDevice, ERROR_LINE_BUSY);
        Ticks(d, 1);
    });
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_EQ(2u, dialup.Dials().size());
    // The failed attempt before the pause, then the cancel with no handle left.
    EXPECT_EQ((std::vector<HRASCONN>{0x101, 0}), HangUps());
    EXPECT_EQ(1u, BoxTexts().size());
}

} // namespace

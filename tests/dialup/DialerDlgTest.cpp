// CDialerDlg: phone book, remembered entry and password, the settings handed to the connect
// dialog, and what is stored after a dial.
#include "DialupDialogFixture.h"

#include "dialup/DialerDlg.h"
#include "settings/Registry.h"

using platform::ui::HeadlessDialog;

namespace {

class DialerDlgTest : public DialupDialogTest {
  protected:
    void Store(const char* name, const std::string& value) {
        WriteRegString(HKEY_LOCAL_MACHINE, kProductKey, name, value);
    }
    std::string Stored(const char* name) {
        return ReadRegString(HKEY_LOCAL_MACHINE, kProductKey, name);
    }
    INT_PTR Run(std::function<void(HeadlessDialog&)> script) {
        screen.Play(IDD_DIALER, std::move(script));
        CDialerDlg dialog(nullptr);
        return dialog.DoModal();
    }
    // The connect dialog of the next Dial Now: the line connects, or fails its only attempt.
    void NextDialConnects() {
        screen.Play(IDD_CONNECT, [this](HeadlessDialog& d) { Line(d, RASCS_Connected); });
    }
    void NextDialFails(std::string* attemptLine = nullptr) {
        screen.Play(IDD_CONNECT, [this, attemptLine](HeadlessDialog& d) {
            if (attemptLine != nullptr)
                *attemptLine = d.Text(IDC_ATTEMPT_LINE);
            Line(d, RASCS_ConnectDevice, ERROR_LINE_BUSY);
            if (!d.Ended())
                d.Click(IDCANCEL);
        });
    }
};

TEST_F(DialerDlgTest, OpensWithDefaultsLimitsAndTheSortedPhoneBook) {
    for (const char* name : {"Zeta", "alpha", "Mid"})
        dialup.AddEntry(name, {"user of " + std::string(name), "", false, ""});
    INT_PTR result = Run([](HeadlessDialog& d) {
        EXPECT_EQ("Ostrel Sky.Vane Dialer", d.Title());
        EXPECT_EQ((std::vector<std::string>{"alpha", "Mid", "Zeta"}), d.Items(IDC_ENTRY_LIST));
        EXPECT_EQ(0, d.Selection(IDC_ENTRY_LIST));
        EXPECT_EQ("user of alpha", d.Text(IDC_USER_NAME));
        EXPECT_EQ("", d.Text(IDC_PASSWORD));
        EXPECT_EQ("", d.Text(IDC_DOMAIN));
        EXPECT_EQ(BST_UNCHECKED, d.Checked(IDC_SAVE_PASSWORD));
        EXPECT_EQ("10", d.Text(IDC_ATTEMPTS));
        EXPECT_EQ("5", d.Text(IDC_DELAY));
        EXPECT_EQ(std::make_pair(1, 10000), d.Range(IDC_ATTEMPTS_SPIN));
        EXPECT_EQ(std::make_pair(0, 86400), d.Range(IDC_DELAY_SPIN));
        EXPECT_EQ(256u, d.LimitText(IDC_USER_NAME));
        EXPECT_EQ(256u, d.LimitText(IDC_PASSWORD));
        EXPECT_EQ(15u, d.LimitText(IDC_DOMAIN));
        EXPECT_TRUE(d.Enabled(IDOK));
        d.Escape();
    });
    EXPECT_EQ(IDCANCEL, result);
}

struct RememberRow {
    const char* what;
    std::string lastConnection;
    std::string storedPassword;
    bool phoneBookPassword; // Office's phone-book entry keeps "book-pw"
    int selection;          // in the sorted list Home, Office
    std::string user;
    std::string password;
};

TEST_F(DialerDlgTest, SelectsLastConnectionAndFillsItsCredentials) {
    const RememberRow rows[] = {
        {"last connection found", "Office", "", false, 1, "joe", ""},
        {"stored password for it", "Office", "pw", false, 1, "joe", "pw"},
        {"phone book password wins", "Office", "pw", true, 1, "joe", "book-pw"},
        {"stale last connection", "Gone", "pw", false, 0, "ann", ""},
        {"letter case differs", "office", "pw", false, 0, "ann", ""},
        {"nothing remembered", "", "", false, 0, "ann", ""},
    };
    for (const RememberRow& row : rows) {
        SCOPED_TRACE(row.what);
        dialup.Reset();
        dialup.AddEntry("Office", {"joe", "book-pw", row.phoneBookPassword, ""});
        dialup.AddEntry("Home", {"ann", "", false, ""});
        Store("Last Connection", row.lastConnection);
        Store("Password", row.storedPassword);
        Run([&](HeadlessDialog& d) {
            EXPECT_EQ(row.selection, d.Selection(IDC_ENTRY_LIST));
            EXPECT_EQ(row.user, d.Text(IDC_USER_NAME));
            EXPECT_EQ(row.password, d.Text(IDC_PASSWORD));
            EXPECT_EQ(row.storedPassword.empty() ? BST_UNCHECKED : BST_CHECKED,
                      d.Checked(IDC_SAVE_PASSWORD));
            d.Escape();
        });
        // The lookup asks once, for the entry selected.
        EXPECT_EQ(std::vector<std::string>{row.selection == 1 ? "Office" : "Home"},
                  dialup.DialParamsAsked());
    }
}

TEST_F(DialerDlgTest, SelectionChangeRefillsTheCredentials) {
    dialup.AddEntry("Home", {"ann", "", false, ""});
    dialup.AddEntry("Office", {"joe", "book-pw", true, "CORP"});
    dialup.AddEntry("Work", {"sue", "", false, ""});
    Store("Last Connection", "Home");
    Store("Password", "pw");
    Run([&](HeadlessDialog& d) {
        EXPECT_EQ("pw", d.Text(IDC_PASSWORD));
        d.Type(IDC_DOMAIN, "MINE");
        d.Select(IDC_ENTRY_LIST, 1);
        EXPECT_EQ("joe", d.Text(IDC_USER_NAME));
        EXPECT_EQ("book-pw", d.Text(IDC_PASSWORD));
        d.Select(IDC_ENTRY_LIST, 2);
        EXPECT_EQ("sue", d.Text(IDC_USER_NAME));
        EXPECT_EQ("", d.Text(IDC_PASSWORD));
        d.Type(IDC_PASSWORD, "typed");
        d.Select(IDC_ENTRY_LIST, 0); // back to the remembered entry
        EXPECT_EQ("pw", d.Text(IDC_PASSWORD));
        // A lookup that fails shows no stale user name.
        dialup.QueueGetDialParamsResult(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY);
        d.Select(IDC_ENTRY_LIST, 1);
        EXPECT_EQ("", d.Text(IDC_USER_NAME));
        EXPECT_EQ("", d.Text(IDC_PASSWORD));
        // The domain and the check box are never touched by a selection.
        EXPECT_EQ("MINE", d.Text(IDC_DOMAIN));
        EXPECT_EQ(BST_CHECKED, d.Checked(IDC_SAVE_PASSWORD));
        // The list's keys: each move refills once, a key that moves nothing asks for nothing.
        d.Focus(IDC_ENTRY_LIST);
        const size_t asked = dialup.DialParamsAsked().size();
        d.Press(VK_END);
        EXPECT_EQ("sue", d.Text(IDC_USER_NAME));
        d.Press(VK_DOWN);
        d.Press('H');
        EXPECT_EQ(0, d.Selection(IDC_ENTRY_LIST));
        EXPECT_EQ("pw", d.Text(IDC_PASSWORD));
        d.Press(VK_HOME);
        const std::vector<std::string> all = dialup.DialParamsAsked();
        EXPECT_EQ(
            (std::vector<std::string>{"Work", "Home"}),
            std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(asked), all.end()));
        d.Escape();
    });
}

TEST_F(DialerDlgTest, EmptyPhoneBookOffersNothingToDial) {
    Store("Last Connection", "Office");
    Store("Password", "pw");
    INT_PTR result = Run([&](HeadlessDialog& d) {
        EXPECT_TRUE(d.Items(IDC_ENTRY_LIST).empty());
        EXPECT_EQ(-1, d.Selection(IDC_ENTRY_LIST));
        EXPECT_EQ("", d.Text(IDC_USER_NAME));
        EXPECT_EQ("pw", d.Text(IDC_PASSWORD));
        EXPECT_EQ(BST_CHECKED, d.Checked(IDC_SAVE_PASSWORD));
        EXPECT_FALSE(d.Enabled(IDOK));
        d.Enter();
        SendMessageA(d.Record().handle(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        EXPECT_FALSE(d.Ended());
        d.Click(IDCANCEL);
    });
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_TRUE(dialup.Dials().empty());
    EXPECT_TRUE(dialup.DialParamsAsked().empty());
    EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(DialerDlgTest, PhoneBookEnumerationFailures) {
    struct Row {
        const char* what;
        std::vector<platform::FakeEnumAnswer> answers;
        std::vector<std::string> items;
        std::vector<std::string> boxes;
    };
    const Row rows[] = {
        {"three entries: the buffer grows once", {}, {"A", "B", "C"}, {}},
        {"first call fails",
         {{ERROR_CANNOT_OPEN_PHONEBOOK, 0, 0}},
         {},
         {"Undefined RasEnumEntries Error."}},
        {"second call fails in silence",
         {{ERROR_BUFFER_TOO_SMALL, 0, 0}, {ERROR_BUFFER_TOO_SMALL, 0, 0}},
         {},
         {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        dialup.Reset();
        for (const char* name : {"C", "A", "B"})
            dialup.AddEntry(name);
        for (const auto& answer : row.answers)
            dialup.QueueEnumEntries(answer);
        std::size_t boxesBefore = BoxTexts().size();
        Run([&](HeadlessDialog& d) {
            EXPECT_EQ(row.items, d.Items(IDC_ENTRY_LIST));
            d.Escape();
        });
        std::vector<std::string> boxes = BoxTexts();
        EXPECT_EQ(row.boxes, std::vector<std::string>(boxes.begin() + boxesBefore, boxes.end()));
    }
}

TEST_F(DialerDlgTest, UncheckingSavePasswordForgetsItAtOnce) {
    dialup.AddEntry("Office", {"joe", "", false, ""});
    Store("Last Connection", "Office");
    Store("Password", "pw");
    INT_PTR result = Run([&](HeadlessDialog& d) {
        EXPECT_EQ(BST_CHECKED, d.Checked(IDC_SAVE_PASSWORD));
        d.Click(IDC_SAVE_PASSWORD);
        EXPECT_EQ("", Stored("Password"));
        d.Click(IDC_SAVE_PASSWORD); // ticking again stores nothing before a dial
        EXPECT_EQ("", Stored("Password"));
        d.Click(IDC_SAVE_PASSWORD);
        d.Close();
    });
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_EQ("", Stored("Password"));
    EXPECT_EQ("Office", Stored("Last Connection"));
}

TEST_F(DialerDlgTest, SuccessfulDialStoresOnlyWithSavePassword) {
    struct Row {
        bool save;
        std::string lastConnection, password;
    };
    // A stored password ticks Save Password when the dialer opens.
    const Row rows[] = {{true, "Work", "typed-pw"}, {false, "Old", ""}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.save);
        dialup.Reset();
        dialup.AddEntry("Office", {"joe", "", false, ""});
        dialup.AddEntry("Work", {"sue", "", false, ""});
        Store("Last Connection", "Old");
        Store("Password", row.save ? "old-pw" : "");
        NextDialConnects();
        INT_PTR result = Run([&](HeadlessDialog& d) {
            EXPECT_EQ(row.save ? BST_CHECKED : BST_UNCHECKED, d.Checked(IDC_SAVE_PASSWORD));
            d.Select(IDC_ENTRY_LIST, 1);
            d.Type(IDC_USER_NAME, "susan");
            d.Type(IDC_PASSWORD, "typed-pw");
            d.Type(IDC_DOMAIN, "CORP");
            d.Type(IDC_ATTEMPTS, "3");
            d.Type(IDC_DELAY, "7");
            d.Enter();
        });
        EXPECT_EQ(IDOK, result);
        EXPECT_EQ(row.lastConnection, Stored("Last Connection"));
        EXPECT_EQ(row.password, Stored("Password"));
        ASSERT_EQ(1u, dialup.Dials().size());
        const RASDIALPARAMSA params = dialup.Dials()[0].params;
        EXPECT_STREQ("Work", params.szEntryName);
        EXPECT_STREQ("susan", params.szUserName);
        EXPECT_STREQ("typed-pw", params.szPassword);
        EXPECT_STREQ("CORP", params.szDomain);
        EXPECT_EQ("Attempt 1 of 3", screen.attemptLines.back());
    }
}

TEST_F(DialerDlgTest, AttemptsAndDelayAreReadAsUnsignedNumbers) {
    const std::pair<const char*, const char*> rows[] = {
        {"abc", "Attempt 1 of 0"},
        {"-3", "Attempt 1 of 0"},
        {" 12 ", "Attempt 1 of 12"},
        {"", "Attempt 1 of 0"},
        // Read unsigned, shown as Windows' "%2!d!" shows it: signed 32-bit.
        {"4294967296", "Attempt 1 of 0"},
        {"4000000000", "Attempt 1 of -294967296"},
        {"4294967295", "Attempt 1 of -1"},
    };
    dialup.AddEntry("Office");
    for (const auto& [typed, line] : rows) {
        SCOPED_TRACE(typed);
        std::string seen;
        screen.Play(IDD_CONNECT, [&](HeadlessDialog& d) {
            seen = d.Text(IDC_ATTEMPT_LINE);
            d.Click(IDCANCEL);
        });
        Run([&](HeadlessDialog& d) {
            d.Type(IDC_ATTEMPTS, typed);
            d.Type(IDC_DELAY, typed);
            d.Enter();
            EXPECT_FALSE(d.Ended());
            d.Escape();
        });
        EXPECT_EQ(line, seen);
    }
}

TEST_F(DialerDlgTest, RepeatedDialNowStartsAgainFromAttemptOne) {
    dialup.AddEntry("Office", {"joe", "", false, ""});
    Store("Last Connection", "Old");
    std::string first, second;
    NextDialFails(&first);
    NextDialFails(&second);
    INT_PTR result = Run([&](HeadlessDialog& d) {
        d.Type(IDC_ATTEMPTS, "1");
        d.Type(IDC_PASSWORD, "pw");
        d.Click(IDC_SAVE_PASSWORD);
        d.Enter();
        EXPECT_FALSE(d.Ended());
        EXPECT_EQ("pw", d.Text(IDC_PASSWORD)); // the dialer stays as it was
        d.Click(IDOK);
        EXPECT_FALSE(d.Ended());
        d.Click(IDC_START_WITHOUT_DIALING);
    });
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ("Attempt 1 of 1", first);
    EXPECT_EQ("Attempt 1 of 1", second);
    EXPECT_EQ(2u, dialup.Dials().size());
    EXPECT_EQ((std::vector<HRASCONN>{0x101, 0x102}), dialup.HangUps());
    // Start Without Dialing stores nothing, even with Save Password ticked.
    EXPECT_EQ("Old", Stored("Last Connection"));
    EXPECT_EQ("", Stored("Password"));
}

TEST_F(DialerDlgTest, TypedTextIsHeldToTheRecordsRoom) {
    dialup.AddEntry("Office");
    NextDialConnects();
    Run([&](HeadlessDialog& d) {
        d.Type(IDC_USER_NAME, std::string(300, 'u'));
        d.Type(IDC_PASSWORD, std::string(300, 'p'));
        d.Type(IDC_DOMAIN, std::string(40, 'd'));
        d.Enter();
    });
    ExpectOneDialCutToTheRecord();
}

} // namespace

// CheckForUpdate with a settable clock, fixed time zones, the memory registry, the recording
// process backend and a headless user who answers the question.
#include "app/LauncherApp.h"
#include "support/Environment.h"
#include "support/HeadlessFixture.h"
#include "support/RegistryDump.h"

#include "platform/ras_fake.h"

#include <cstdlib>
#include <ctime>

namespace {

const char kProductKey[] = "SOFTWARE\\Ostrel Technologies\\Skyvane";
const char kJavaCommand[] =
    "D:\\Client\\jdk\\java.exe -classpath D:\\Client\\jdk\\classes.zip;D:\\Client\\Classes ";
const char kQuestion[] = "Updates of Sky.Vane may now be available. Would you like me to make "
                         "sure you have the most recent version of Sky.Vane?";
const char kRestart[] = "Ostrel Sky.Vane must now restart to finish updating.";

// POSIX zone rules, so no zone database is needed.
const char kUtc[] = "UTC0";
const char kNewYork[] = "EST5EDT,M3.2.0,M11.1.0";

class UpdateCheckTest : public HeadlessFixture {
  protected:
    void SetUp() override {
        HeadlessFixture::SetUp();
        Zone(kNewYork);
        CreateKey(HKEY_LOCAL_MACHINE, kProductKey);
        app.m_strJavaCommand = kJavaCommand;
    }
    static void Zone(const char* tz) { TimeZoneGuard::Set(tz); }
    void Now(int year, int month, int day, int hour = 12, int min = 0, int sec = 0) {
        clock.Set(CTime(year, month, day, hour, min, sec));
    }
    void Record(const std::string& text) {
        ASSERT_EQ(registry.SetValue(HKEY_LOCAL_MACHINE, kProductKey, SzValue("Last Update", text)),
                  ERROR_SUCCESS);
    }
    // The stored text, or "<none>".
    std::string Recorded() {
        platform::RegistryValue value;
        if (registry.QueryValue(HKEY_LOCAL_MACHINE, kProductKey, "Last Update", &value) !=
            ERROR_SUCCESS) {
            return "<none>";
        }
        EXPECT_EQ(value.type, REG_SZ);
        return std::string(value.data.begin(), value.data.end());
    }
    bool Asked() {
        for (const auto& box : ui.MessageBoxes()) {
            if (box.text == kQuestion) {
                return true;
            }
        }
        return false;
    }
    // One check in a fresh world: the question, if asked, is answered No.
    BOOL CheckAnsweringNo() {
        ui.Answer(IDNO);
        return app.CheckForUpdate();
    }

    CLauncherApp app;

  private:
    TimeZoneGuard m_zone;
};

struct DueRow {
    const char* recorded; // nullptr: no value
    int year, month, day, hour, min, sec;
    bool asked;
};

TEST_F(UpdateCheckTest, QuestionComesTenLocalDaysAfterTheRecordedDate) {
    const DueRow rows[] = {
        {"1996 11 5", 1996, 11, 14, 23, 59, 59, false},
        {"1996 11 5", 1996, 11, 15, 0, 0, 0, true},
        {"1996 11 5", 1996, 11, 5, 0, 0, 0, false},
        // Daylight-saving time began on 10 March: the day had 23 hours.
        {"2024 3 5", 2024, 3, 15, 0, 59, 59, false},
        {"2024 3 5", 2024, 3, 15, 1, 0, 0, true},
        // It ended on 3 November: the day had 25 hours.
        {"2024 10 30", 2024, 11, 8, 22, 59, 59, false},
        {"2024 10 30", 2024, 11, 8, 23, 0, 0, true},
        // A date in the future: no question until ten days after it.
        {"2030 1 1", 2024, 6, 1, 12, 0, 0, false},
        {"2030 1 1", 2030, 1, 10, 23, 59, 59, false},
        {"2030 1 1", 2030, 1, 11, 0, 0, 0, true},
        // Beyond 2038.
        {"2040 2 20", 2040, 3, 1, 0, 0, 0, true},
        {"2040 2 20", 2040, 2, 29, 23, 59, 59, false},
        // Read as "%d %d %d" would: blanks of any kind between, leading zeros, text after.
        {" 1996\t11  05 and more", 1996, 11, 14, 23, 59, 59, false},
        {"2000 2 29", 2000, 3, 9, 12, 0, 0, false},
        // Three integers that make no real date carry over as the local-time conversion
        // does: 1996 13 40 is 9 February 1997, 1996 2 30 is 1 March 1996.
        {"1996 13 40", 1996, 11, 5, 0, 0, 0, false},
        {"1996 13 40", 1997, 2, 18, 23, 59, 59, false},
        {"1996 13 40", 1997, 2, 19, 0, 0, 0, true},
        {"1996 2 30", 1996, 3, 11, 0, 59, 59, false}, // daylight-saving time began on 10 March
        {"1996 2 30", 1996, 3, 11, 1, 0, 0, true},
        {"1997 2 29", 1997, 3, 1, 0, 0, 0, false},
        {"1997 2 29", 1997, 3, 11, 1, 0, 0, true},
        {"1996 11 31", 1996, 12, 10, 23, 59, 59, false},
        {"1996 11 31", 1996, 12, 11, 0, 0, 0, true},
        {"1996 0 5", 1995, 12, 14, 23, 59, 59, false},
        {"1996 0 5", 1995, 12, 15, 0, 0, 0, true},
        {"1996 3 0", 1996, 3, 9, 23, 59, 59, false},
        {"1996 3 0", 1996, 3, 10, 0, 0, 0, true},
        {"1996-11-5", 1996, 11, 5, 0, 0, 0, true}, // 1996, -11, -5: 26 December 1994
        {"0 1 1", 1996, 11, 5, 0, 0, 0, true},
        {"1996 -2147483648 1", 1996, 11, 5, 0, 0, 0, true},
        {"2147483647 1 1", 1996, 11, 5, 0, 0, 0, false},
        // No value, and texts that do not begin with three integers an int holds, count as a
        // check 11 days ago.
        {nullptr, 1996, 11, 5, 0, 0, 0, true},
        {"", 1996, 11, 5, 0, 0, 0, true},
        {"yesterday", 1996, 11, 5, 0, 0, 0, true},
        {"1996 11", 1996, 11, 5, 0, 0, 0, true},
        {"99999999999 11 5", 1996, 11, 5, 0, 0, 0, true},
        {"1996 4294967307 5", 1996, 11, 5, 0, 0, 0, true},
    };
    for (const DueRow& row : rows) {
        platform::ui::HeadlessUi freshUi;
        platform::ui::InstallUi(&freshUi);
        platform::MemoryRegistry freshRegistry;
        platform::InstallRegistry(&freshRegistry);
        bool created = false;
        freshRegistry.CreateKey(HKEY_LOCAL_MACHINE, kProductKey, "", &created);
        if (row.recorded != nullptr) {
            freshRegistry.SetValue(HKEY_LOCAL_MACHINE, kProductKey,
                                   SzValue("Last Update", row.recorded));
        }
        Now(row.year, row.month, row.day, row.hour, row.min, row.sec);
        freshUi.Answer(IDNO);

        testing::internal::CaptureStdout();
        EXPECT_TRUE(app.CheckForUpdate());
        testing::internal::GetCapturedStdout();

        const auto boxes = freshUi.MessageBoxes();
        const std::string label = std::string(row.recorded ? row.recorded : "<none>") + " at " +
                                  std::to_string(row.year) + "-" + std::to_string(row.month) + "-" +
                                  std::to_string(row.day) + " " + std::to_string(row.hour) + ":" +
                                  std::to_string(row.min) + ":" + std::to_string(row.sec);
        EXPECT_EQ(boxes.size(), row.asked ? 1u : 0u) << label;
        platform::RegistryValue stored;
        LONG found =
            freshRegistry.QueryValue(HKEY_LOCAL_MACHINE, kProductKey, "Last Update", &stored);
        if (row.asked) {
            // Answered No: today's date is recorded.
            std::string today = std::to_string(row.year) + " " + std::to_string(row.month) + " " +
                                std::to_string(row.day);
            today.push_back('\0');
            EXPECT_EQ(std::string(stored.data.begin(), stored.data.end()), today) << label;
        } else if (row.recorded != nullptr) {
            EXPECT_EQ(std::string(stored.data.begin(), stored.data.end()),
                      std::string(row.recorded) + '\0')
                << label << ": nothing may be written";
        } else {
            EXPECT_NE(found, ERROR_SUCCESS) << label;
        }
    }
    platform::ui::InstallUi(&ui);
    platform::InstallRegistry(&registry);
    EXPECT_TRUE(processes.Starts().empty());
}

TEST_F(UpdateCheckTest, QuestionHasItsTextAndStyleAndNoRecordsTodayForTenDays) {
    Now(1996, 11, 15, 9, 30, 0);
    Record("1996 11 5");

    EXPECT_TRUE(CheckAnsweringNo());

    auto boxes = ui.MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, kQuestion);
    EXPECT_EQ(boxes[0].caption, "Ostrel Sky.Vane");
    EXPECT_EQ(boxes[0].type, 0x1004u);
    EXPECT_TRUE(processes.Starts().empty());
    EXPECT_EQ(Recorded(), std::string("1996 11 15") + '\0');

    // Recorded as today: nothing until ten days from today's midnight.
    clock.Set(CTime(1996, 11, 24, 23, 59, 59));
    EXPECT_TRUE(app.CheckForUpdate());
    EXPECT_EQ(ui.MessageBoxes().size(), 1u);
    clock.Set(CTime(1996, 11, 25, 0, 0, 0));
    EXPECT_TRUE(CheckAnsweringNo());
    EXPECT_EQ(ui.MessageBoxes().size(), 2u);
}

struct UpdaterRow {
    const char* what;
    platform::FakeProgram updater;
    BOOL result;
    bool recorded;
    bool restartMessage;
};

TEST_F(UpdateCheckTest, UpdaterResultDecidesRecordAndRestart) {
    const UpdaterRow rows[] = {
        {"done", {.exitCode = 0}, TRUE, true, false},
        {"done, restart needed", {.exitCode = 2}, FALSE, true, true},
        {"not completed (1)", {.exitCode = 1}, TRUE, false, false},
        {"not completed (3)", {.exitCode = 3}, TRUE, false, false},
        {"killed", {.exitCode = 128 + 9}, TRUE, false, false},
        {"exit code unreadable", {.exitCodeError = ERROR_ACCESS_DENIED}, TRUE, false, false},
        {"cannot start", {.startError = ERROR_FILE_NOT_FOUND}, TRUE, true, false},
    };
    for (const UpdaterRow& row : rows) {
        platform::ui::HeadlessUi freshUi;
        platform::ui::InstallUi(&freshUi);
        platform::FakeProcessBackend freshProcesses;
        platform::InstallProcess(&freshProcesses);
        Record("1996 10 1");
        Now(1996, 11, 5, 14, 0, 0);
        freshProcesses.QueueProgram(row.updater);
        freshUi.Answer(IDYES);

        EXPECT_EQ(app.CheckForUpdate(), row.result) << row.what;

        ASSERT_EQ(
            freshProcesses.CommandLines(),
            std::vector<std::string>{std::string(kJavaCommand) + "Ostrel.Server.updater.ZARuzivuz"})
            << row.what;
        if (row.updater.startError == ERROR_SUCCESS) {
            EXPECT_EQ(freshProcesses.Waits(), std::vector<DWORD>{INFINITE}) << row.what;
        }
        EXPECT_EQ(Recorded(),
                  row.recorded ? std::string("1996 11 5") + '\0' : std::string("1996 10 1") + '\0')
            << row.what;

        std::vector<std::string> expectedBoxes = {kQuestion};
        std::vector<UINT> expectedTypes = {MB_YESNO | MB_SYSTEMMODAL};
        if (row.updater.startError != ERROR_SUCCESS) {
            expectedBoxes.push_back(std::string("Error executing ") + kJavaCommand +
                                    "Ostrel.Server.updater.ZARuzivuz");
            expectedTypes.push_back(MB_OK);
        }
        if (row.restartMessage) {
            expectedBoxes.push_back(kRestart);
            expectedTypes.push_back(MB_OK | MB_SYSTEMMODAL);
        }
        std::vector<std::string> texts;
        std::vector<UINT> types;
        for (const auto& box : freshUi.MessageBoxes()) {
            texts.push_back(box.text);
            types.push_back(box.type);
        }
        EXPECT_EQ(texts, expectedBoxes) << row.what;
        EXPECT_EQ(types, expectedTypes) << row.what;
    }
    platform::ui::InstallUi(&ui);
    platform::InstallProcess(&processes);
}

TEST_F(UpdateCheckTest, DateIsRecordedLocallyWithoutLeadingZeros) {
    struct Row {
        const char* zone;
        std::int64_t now;
        const char* expected;
    } rows[] = {
        {kUtc, CTime(1997, 1, 5, 10, 0, 0).GetTime(), "1997 1 5"},
        // 02:00 UTC on 5 January is still 4 January in New York.
        {kNewYork, 852429600, "1997 1 4"},
        {kUtc, 852429600, "1997 1 5"},
        {kNewYork, 4133980799, "2100 12 31"},
    };
    for (const Row& row : rows) {
        Zone(row.zone);
        clock.Set(row.now);
        Record("1990 1 1");
        ui.Answer(IDNO);
        EXPECT_TRUE(app.CheckForUpdate());
        EXPECT_EQ(Recorded(), std::string(row.expected) + '\0') << row.zone << " " << row.now;
    }
}

TEST_F(UpdateCheckTest, MissingProductKeyLosesTheRecordAndTheQuestionComesAgain) {
    platform::MemoryRegistry empty;
    platform::InstallRegistry(&empty);
    Now(1996, 11, 5);

    std::string output = CaptureStdout([&] {
        EXPECT_TRUE(CheckAnsweringNo());
        EXPECT_TRUE(CheckAnsweringNo());
    });

    EXPECT_EQ(ui.MessageBoxes().size(), 2u);
    std::vector<std::string> keys;
    EXPECT_NE(empty.EnumKeys(HKEY_LOCAL_MACHINE, "SOFTWARE", &keys), ERROR_SUCCESS)
        << "no key may be created";
    EXPECT_NE(output.find("Error: RegOpenKeyEx = 2"), std::string::npos) << output;
    platform::InstallRegistry(&registry);
}

TEST_F(UpdateCheckTest, QuestionThatCannotBeShownSettlesNothing) {
    Now(1996, 11, 5);
    Record("1996 10 1");
    platform::ui::InstallUi(nullptr); // AfxMessageBox gives 0, as Windows does on failure

    EXPECT_TRUE(app.CheckForUpdate());

    platform::ui::InstallUi(&ui);
    EXPECT_EQ(Recorded(), std::string("1996 10 1") + '\0');
    EXPECT_TRUE(processes.Starts().empty());
}

TEST_F(UpdateCheckTest, RestartAfterTheUpdaterHandsOverToTheBootProgram) {
    CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Ostrel Technologies\\Skyvane\\1.0");
    registry.SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Ostrel Technologies\\Skyvane\\1.0",
                      SzValue("InstallDir", "D:\\Client\\"));
    platform::FakeDialup dialup;
    dialup.AddConnection(HRASCONN{1}, "Provider"); // no dialer
    platform::InstallDialup(&dialup);
    Record("1996 10 1");
    Now(1996, 11, 5);
    ui.Answer(IDYES);
    processes.QueueProgram({.exitCode = 2});

    EXPECT_FALSE(app.InitInstance());
    platform::InstallDialup(nullptr);

    EXPECT_EQ(
        processes.CommandLines(),
        (std::vector<std::string>{std::string(kJavaCommand) + "Ostrel.Server.updater.ZARuzivuz",
                                  "D:\\Client\\VIZevu.exe"}))
        << "the boot program, and no console";
    EXPECT_EQ(processes.Waits(), std::vector<DWORD>{INFINITE})
        << "the boot program is not waited for";
    EXPECT_EQ(Recorded(), std::string("1996 11 5") + '\0');
    auto boxes = ui.MessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, kRestart);
}

} // namespace

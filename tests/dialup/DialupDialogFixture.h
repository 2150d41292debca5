// The dialer and connect dialogs on the test backends, with the scripted dial-up service as the
// line and a headless screen that also keeps every text the status and attempt lines showed.
#pragma once

#include "platform/ras_fake.h"
#include "res/resource.h"
#include "support/HeadlessFixture.h"

#include <string>
#include <vector>

// Headless ui that keeps the history of the Connect dialog's two lines.
class RecordingUi : public platform::ui::HeadlessUi {
  public:
    void Update(platform::ui::Window& window) override {
        if (window.parent == nullptr || window.parent->id != IDD_CONNECT)
            return;
        if (window.id == IDC_STATUS_LINE)
            statusLines.push_back(window.text);
        else if (window.id == IDC_ATTEMPT_LINE)
            attemptLines.push_back(window.text);
    }

    std::vector<std::string> statusLines;
    std::vector<std::string> attemptLines;
};

class DialupDialogTest : public HeadlessFixture {
  protected:
    static constexpr const char* kProductKey = "SOFTWARE\\Ostrel Technologies\\Skyvane";

    void SetUp() override {
        HeadlessFixture::SetUp();
        platform::ui::InstallUi(&screen);
        platform::InstallDialup(&dialup);
        CreateKey(HKEY_LOCAL_MACHINE, kProductKey);
    }
    void TearDown() override {
        EXPECT_TRUE(screen.Problems().empty()) << ::testing::PrintToString(screen.Problems());
        platform::InstallDialup(nullptr);
        HeadlessFixture::TearDown();
    }

    // The line reports a state for the latest attempt; the dialog handles it at once.
    void Line(platform::ui::HeadlessDialog& dialog, RASCONNSTATE state, DWORD error = 0) {
        ASSERT_TRUE(dialup.Notify(state, error));
        dialog.DeliverPosted();
    }
    void Ticks(platform::ui::HeadlessDialog& dialog, int count) {
        for (int i = 0; i < count; ++i)
            dialog.Tick(2);
    }
    // The one dial made holds the user name, password and domain typed 300, 300 and 40 long
    // ('u', 'p', 'd') cut to the record's room: 256 characters, 15 for the domain.
    void ExpectOneDialCutToTheRecord() const {
        ASSERT_EQ(1u, dialup.Dials().size());
        const RASDIALPARAMSA& params = dialup.Dials()[0].params;
        EXPECT_EQ(std::string(256, 'u'), params.szUserName);
        EXPECT_EQ(std::string(256, 'p'), params.szPassword);
        EXPECT_EQ(std::string(15, 'd'), params.szDomain);
    }
    std::vector<std::string> BoxTexts() const {
        std::vector<std::string> texts;
        for (const auto& box : screen.MessageBoxes()) {
            EXPECT_EQ(MB_OK, box.type & MB_TYPEMASK);
            texts.push_back(box.text);
        }
        return texts;
    }

    RecordingUi screen;
    platform::FakeDialup dialup;
};

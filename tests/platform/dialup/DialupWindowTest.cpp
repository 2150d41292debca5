// Notifications to a window: posted, numbered by the registered "RasDialEvent" message, handled
// on the window's own thread; none once the window has gone.
#include "DialupTestSupport.h"

#include "platform/ui_headless.h"

#include <thread>

using namespace dialup_test;

namespace {

constexpr UINT kTemplate = 900;

// A window that records the messages that reach it and the thread they reach it on.
class CListenerDlg : public CDialog {
  public:
    struct Received {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        std::thread::id thread;
    };
    std::vector<Received> received;

  protected:
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message >= 0xC000)
            received.push_back({message, wParam, lParam, std::this_thread::get_id()});
        return CDialog::DefWindowProc(message, wParam, lParam);
    }
};

class DialupWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resources.dialogs.push_back(
            {kTemplate, WS_POPUP | WS_CAPTION, "Listener", "MS Sans Serif", 8, 0, 0, 100, 40, {}});
        platform::ui::SetResources(&resources);
        platform::ui::InstallUi(&ui);
        WriteFile(folder.Path() / "phonebook.pbk", "[Office]\n[Busy]\nOutcomes=busy\n");
    }
    void TearDown() override {
        platform::InstallDialup(nullptr);
        service.reset();
        platform::ui::InstallUi(nullptr);
        platform::ui::SetResources(nullptr);
    }
    void Start(DWORD stepMilliseconds) {
        platform::DialupServiceOptions options;
        options.phoneBookPath = (folder.Path() / "phonebook.pbk").string();
        options.stateDirectory = (folder.Path() / "state").string();
        options.stepMilliseconds = stepMilliseconds;
        service = std::make_unique<platform::DialupService>(options);
        platform::InstallDialup(service.get());
    }
    // Delivers posted messages until the window has seen `count` of them, or time runs out.
    void Pump(const CListenerDlg& window, std::size_t count) {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (window.received.size() < count && std::chrono::steady_clock::now() < until) {
            platform::ui::DeliverPostedMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    platform::ui::ResourceTable resources;
    platform::ui::HeadlessUi ui;
    TempFolder folder;
    std::unique_ptr<platform::DialupService> service;
};

TEST_F(DialupWindowTest, NotificationsArriveAsRegisteredMessagesOnTheWindowsThread) {
    Start(0);
    const UINT expectedMessage = RegisterWindowMessageA("RasDialEvent");
    ASSERT_GE(expectedMessage, 0xC000u);
    const std::pair<const char*, std::vector<std::pair<WPARAM, LPARAM>>> rows[] = {
        {"Office",
         {{RASCS_OpenPort, 0},
          {RASCS_PortOpened, 0},
          {RASCS_ConnectDevice, 0},
          {RASCS_DeviceConnected, 0},
          {RASCS_AllDevicesConnected, 0},
          {RASCS_Authenticate, 0},
          {RASCS_AuthNotify, 0},
          {RASCS_AuthProject, 0},
          {RASCS_Authenticated, 0},
          {RASCS_Connected, 0}}},
        {"Busy",
         {{RASCS_OpenPort, 0},
          {RASCS_PortOpened, 0},
          {RASCS_ConnectDevice, 0},
          {RASCS_ConnectDevice, LPARAM{ERROR_LINE_BUSY}}}},
    };
    for (const auto& [entry, expected] : rows) {
        SCOPED_TRACE(entry);
        CListenerDlg window;
        ASSERT_TRUE(window.Create(kTemplate));
        RASDIALPARAMSA params = DialParams(entry);
        HRASCONN handle = 0;
        ASSERT_EQ(DWORD(ERROR_SUCCESS),
                  RasDialA(nullptr, nullptr, &params, RASNOTIFIER_HWND, window.m_hWnd, &handle));
        Pump(window, expected.size());
        ASSERT_EQ(expected.size(), window.received.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(expectedMessage, window.received[i].message);
            EXPECT_EQ(expected[i].first, window.received[i].wParam);
            EXPECT_EQ(expected[i].second, window.received[i].lParam);
            EXPECT_EQ(std::this_thread::get_id(), window.received[i].thread);
        }
        EXPECT_EQ(DWORD(ERROR_SUCCESS), RasHangUpA(handle));
        window.DestroyWindow();
    }
}

TEST_F(DialupWindowTest, WindowThatGoesAwayEndsTheAttempt) {
    Start(20);
    CListenerDlg window;
    ASSERT_TRUE(window.Create(kTemplate));
    RASDIALPARAMSA params = DialParams("Office");
    HRASCONN handle = 0;
    ASSERT_EQ(DWORD(ERROR_SUCCESS),
              RasDialA(nullptr, nullptr, &params, RASNOTIFIER_HWND, window.m_hWnd, &handle));
    Pump(window, 1);
    window.DestroyWindow();
    // Long enough for the whole walk; the line must not come up for a window that is gone.
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    platform::ui::DeliverPostedMessages();
    EXPECT_TRUE(ConnectionNames().empty());
    EXPECT_EQ(1u, service->HandleCount());
    EXPECT_EQ(DWORD(ERROR_SUCCESS), RasHangUpA(handle));
    EXPECT_EQ(0u, service->HandleCount());
}

} // namespace

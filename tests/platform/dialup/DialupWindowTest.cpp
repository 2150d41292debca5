// Notifications to a window: posted, numbered by the registered "RasDialEvent" message, handled
// on the window's own thread; none once the window has gone. On Linux the window is a dialog of
// the framework on the headless backend, on Windows a real (message-only) window.
#include "DialupTestSupport.h"

#ifndef _WIN32
#include "platform/ui_headless.h"
#include "support/TestTemplates.h"
#endif

#include <thread>

using namespace dialup_test;

namespace {

// A message that reached the window, and the thread it reached it on.
struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    std::thread::id thread;
};

#ifdef _WIN32
// A message-only window of its own class that records the registered messages reaching it.
class Listener {
  public:
    ~Listener() { DestroyWindow(); }
    bool Open() {
        static const ATOM windowClass = [] {
            WNDCLASSA description{};
            description.lpfnWndProc = &Listener::Procedure;
            description.hInstance = GetModuleHandleA(nullptr);
            description.lpszClassName = "SkyvaneDialupListener";
            return RegisterClassA(&description);
        }();
        m_hWnd = CreateWindowExA(0, MAKEINTATOM(windowClass), "Listener", 0, 0, 0, 0, 0,
                                 HWND_MESSAGE, nullptr, GetModuleHandleA(nullptr), nullptr);
        if (m_hWnd != nullptr)
            SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        return m_hWnd != nullptr;
    }
    void DestroyWindow() {
        if (m_hWnd != nullptr)
            ::DestroyWindow(m_hWnd);
        m_hWnd = nullptr;
    }

    HWND m_hWnd = nullptr;
    std::vector<Received> received;

  private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<Listener*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (self != nullptr && message >= 0xC000)
            self->received.push_back({message, wParam, lParam, std::this_thread::get_id()});
        return DefWindowProcA(window, message, wParam, lParam);
    }
};

void DeliverPostedMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
}
#else
constexpr UINT kTemplate = 900;

// A dialog that records the registered messages reaching it.
class Listener : public CDialog {
  public:
    bool Open() { return Create(kTemplate) != FALSE; }

    std::vector<Received> received;

  protected:
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message >= 0xC000)
            received.push_back({message, wParam, lParam, std::this_thread::get_id()});
        return CDialog::DefWindowProc(message, wParam, lParam);
    }
};

void DeliverPostedMessages() {
    platform::ui::DeliverPostedMessages();
}
#endif

class DialupWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
#ifndef _WIN32
        resources.dialogs.push_back(
            TestTemplate(kTemplate, WS_POPUP | WS_CAPTION, "Listener", 100, 40, {}));
        platform::ui::SetResources(&resources);
        platform::ui::InstallUi(&ui);
#endif
        WriteFile(dir / "phonebook.pbk", "[Office]\n[Busy]\nOutcomes=busy\n");
    }
    void TearDown() override {
        platform::InstallDialup(nullptr);
        service.reset();
#ifndef _WIN32
        platform::ui::InstallUi(nullptr);
        platform::ui::SetResources(nullptr);
#endif
    }
    void Start(DWORD stepMilliseconds) {
        platform::DialupServiceOptions options;
        options.phoneBookPath = (dir / "phonebook.pbk").string();
        options.stateDirectory = (dir / "state").string();
        options.stepMilliseconds = stepMilliseconds;
        service = std::make_unique<platform::DialupService>(options);
        platform::InstallDialup(service.get());
    }
    // Delivers posted messages until the window has seen `count` of them, or time runs out.
    void Pump(const Listener& window, std::size_t count) {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (window.received.size() < count && std::chrono::steady_clock::now() < until) {
            DeliverPostedMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

#ifndef _WIN32
    platform::ui::ResourceTable resources;
    platform::ui::HeadlessUi ui;
#endif
    TempDir folder{"dialup"};
    const std::filesystem::path dir{folder.Path()};
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
        Listener window;
        ASSERT_TRUE(window.Open());
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
    Listener window;
    ASSERT_TRUE(window.Open());
    RASDIALPARAMSA params = DialParams("Office");
    HRASCONN handle = 0;
    ASSERT_EQ(DWORD(ERROR_SUCCESS),
              RasDialA(nullptr, nullptr, &params, RASNOTIFIER_HWND, window.m_hWnd, &handle));
    Pump(window, 1);
    window.DestroyWindow();
    // Long enough for the whole walk; the line must not come up for a window that is gone.
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    DeliverPostedMessages();
    EXPECT_TRUE(ConnectionNames().empty());
    EXPECT_EQ(1u, service->HandleCount());
    EXPECT_EQ(DWORD(ERROR_SUCCESS), RasHangUpA(handle));
    EXPECT_EQ(0u, service->HandleCount());
}

} // namespace

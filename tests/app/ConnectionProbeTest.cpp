// GetActiveConnectionCount against a scripted dial-up service.
#include "app/LauncherApp.h"
#include "platform/ras_fake.h"
#include "support/HeadlessFixture.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include <sys/resource.h>
#include <unistd.h>

namespace {

class ConnectionProbeTest : public HeadlessFixture {
  protected:
    void SetUp() override {
        HeadlessFixture::SetUp();
        platform::InstallDialup(&dialup);
    }
    void TearDown() override {
        platform::InstallDialup(nullptr);
        HeadlessFixture::TearDown();
    }

    std::vector<std::string> BoxTexts() const {
        std::vector<std::string> texts;
        for (const auto& box : ui.MessageBoxes()) {
            EXPECT_EQ(MB_OK, box.type);
            texts.push_back(box.text);
        }
        return texts;
    }

    platform::FakeDialup dialup;
};

struct ProbeRow {
    const char* what;
    int connectionsUp;
    std::vector<platform::FakeEnumAnswer> answers;    // forced answers, in call order
    std::vector<std::pair<DWORD, const char*>> texts; // error texts changed (null: none)
    int expectedCount;
    int expectedCalls;
    std::vector<std::string> expectedBoxes;
};

TEST_F(ConnectionProbeTest, CountsConnectionsAndReportsFailures) {
    const ProbeRow rows[] = {
        {"no connection", 0, {}, {}, 0, 1, {}},
        {"one connection fits the first record", 1, {}, {}, 1, 1, {}},
        {"three connections need a grown buffer", 3, {}, {}, 3, 2, {}},
        {"failure with a text", 0, {{ERROR_ACCESS_DENIED, 0, 0}}, {}, 0, 1, {"Access is denied."}},
        {"failure without a text", 0, {{1234, 0, 0}}, {}, 0, 1, {}},
        {"failure whose text cannot be had", 0, {{691, 0, 0}}, {{691, nullptr}}, 0, 1, {}},
        {"failure that leaves a count",
         0,
         {{ERROR_PORT_NOT_FOUND, 0, 4}},
         {},
         4,
         1,
         {"The port was not found."}},
        {"second call short again: no third",
         3,
         {{ERROR_BUFFER_TOO_SMALL, 0, 0}, {ERROR_BUFFER_TOO_SMALL, 5 * 412, 0}},
         {},
         0,
         2,
         {"Caller's buffer is too small."}},
        {"second call fails with another code",
         2,
         {{ERROR_BUFFER_TOO_SMALL, 0, 0}, {87, 0, 0}},
         {{87, "Bad parameter here."}},
         0,
         2,
         {"Bad parameter here."}},
        {"second call fails without a text",
         2,
         {{ERROR_BUFFER_TOO_SMALL, 0, 0}, {4321, 0, 0}},
         {},
         0,
         2,
         {}},
    };
    for (const ProbeRow& row : rows) {
        SCOPED_TRACE(row.what);
        platform::FakeDialup fresh;
        platform::InstallDialup(&fresh);
        platform::ui::HeadlessUi freshUi;
        platform::ui::InstallUi(&freshUi);
        for (int i = 0; i < row.connectionsUp; ++i)
            fresh.AddConnection(static_cast<HRASCONN>(0x200 + i), "Entry " + std::to_string(i));
        for (const auto& answer : row.answers)
            fresh.QueueEnumConnections(answer);
        for (const auto& [code, text] : row.texts)
            fresh.SetErrorText(code, text ? std::optional<std::string>(text) : std::nullopt);

        CLauncherApp app;
        EXPECT_EQ(row.expectedCount, app.GetActiveConnectionCount());
        EXPECT_EQ(row.expectedCalls, fresh.EnumConnectionsCalls());
        std::vector<std::string> texts;
        for (const auto& box : freshUi.MessageBoxes()) {
            EXPECT_EQ(MB_OK, box.type);
            texts.push_back(box.text);
        }
        EXPECT_EQ(row.expectedBoxes, texts);
        platform::ui::InstallUi(&ui);
    }
    platform::InstallDialup(&dialup);
}

// Virtual memory in use now, in bytes.
rlim_t AddressSpaceInUse() {
    std::ifstream statm("/proc/self/statm");
    unsigned long long pages = 0;
    statm >> pages;
    return static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
}

TEST_F(ConnectionProbeTest, BufferThatCannotGrowShowsMemoryAllocationError) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than the limit allows";
#endif
    // The service asks for nearly 4 GiB; with the address space capped the growth must fail.
    dialup.QueueEnumConnections({ERROR_BUFFER_TOO_SMALL, 0xFFFFF000u, 2});
    EXPECT_EXIT(
        {
            rlimit limit{};
            limit.rlim_cur = limit.rlim_max = AddressSpaceInUse() + (rlim_t{512} << 20);
            setrlimit(RLIMIT_AS, &limit);
            CLauncherApp app;
            int count = app.GetActiveConnectionCount();
            std::vector<std::string> texts = BoxTexts();
            bool expected = count == 2 && dialup.EnumConnectionsCalls() == 1 &&
                            texts == std::vector<std::string>{"Memory Allocation Error"};
            std::fprintf(stderr, "count %d, calls %d, boxes %zu\n", count,
                         dialup.EnumConnectionsCalls(), texts.size());
            std::exit(expected ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "count 2, calls 1, boxes 1");
}

} // namespace

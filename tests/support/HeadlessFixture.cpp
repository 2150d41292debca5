#include "support/HeadlessFixture.h"

#include "res/Resources.h"

void HeadlessFixture::SetUp() {
    platform::InstallRegistry(&registry);
    platform::InstallProcess(&processes);
    platform::InstallClock(&clock);
    platform::ui::InstallUi(&ui);
    platform::ui::SetResources(&LauncherResources());
}

void HeadlessFixture::TearDown() {
    EXPECT_TRUE(ui.Problems().empty()) << ::testing::PrintToString(ui.Problems());
    platform::ui::InstallUi(nullptr);
    platform::InstallClock(nullptr);
    platform::InstallProcess(nullptr);
    platform::InstallRegistry(nullptr);
}

void HeadlessFixture::CreateKey(HKEY root, const std::string& path) {
    bool created = false;
    ASSERT_EQ(ERROR_SUCCESS, registry.CreateKey(root, path, "", &created));
}

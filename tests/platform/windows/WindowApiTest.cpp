// FindWindowA and SetWindowPos over the installed backend.
#include "platform/winfind_fake.h"

#include <gtest/gtest.h>

namespace {

TEST(TitlesEqual, ComparesAsciiLettersWithoutCase) {
    struct Row {
        const char* a;
        const char* b;
        bool equal;
    } rows[] = {
        {"Ostrel Sky.Vane", "Ostrel Sky.Vane", true},
        {"Ostrel Sky.Vane", "OSTREL SKY.VANE", true},
        {"Ostrel Sky.Vane", "Ostrel Sky.Vane ", false},
        {"Ostrel Sky.Vane", "Ostrel Sky,Vane", false},
        {"", "", true},
        {"@[`{", "`{@[", false}, // neighbours of the letters are not letters
        {"caf\xE9", "CAF\xC9", false},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.equal, platform::TitlesEqual(r.a, r.b)) << r.a << " / " << r.b;
}

class WindowApiTest : public ::testing::Test {
  protected:
    void SetUp() override { platform::InstallWindowFinder(&fake); }
    void TearDown() override { platform::InstallWindowFinder(nullptr); }
    platform::FakeWindowFinder fake;
};

TEST_F(WindowApiTest, FindsTheFirstWindowWithTheTitle) {
    fake.AddWindow("xterm");
    HWND first = fake.AddWindow("OSTREL SKY.VANE");
    fake.AddWindow("Ostrel Sky.Vane");

    EXPECT_EQ(first, FindWindowA(nullptr, "Ostrel Sky.Vane"));
    EXPECT_EQ(nullptr, FindWindowA("SunAwtFrame", "Ostrel Sky.Vane"));
    EXPECT_EQ(nullptr, FindWindowA(nullptr, "Ostrel"));

    fake.RemoveWindow(first);
    EXPECT_NE(first, FindWindowA(nullptr, "Ostrel Sky.Vane"));
    EXPECT_FALSE(SetWindowPos(first, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
}

TEST_F(WindowApiTest, TopmostUntilTold) {
    HWND w = fake.AddWindow("Ostrel Sky.Vane");
    EXPECT_TRUE(SetWindowPos(w, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
    EXPECT_TRUE(fake.IsTopmost(w));
    EXPECT_TRUE(SetWindowPos(w, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOZORDER));
    EXPECT_TRUE(fake.IsTopmost(w)) << "SWP_NOZORDER keeps the stacking";
    EXPECT_TRUE(SetWindowPos(w, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
    EXPECT_FALSE(fake.IsTopmost(w));
}

TEST(WindowApiWithoutBackend, FindsNothing) {
    platform::InstallWindowFinder(nullptr);
    EXPECT_EQ(nullptr, FindWindowA(nullptr, "Ostrel Sky.Vane"));
    EXPECT_FALSE(SetWindowPos(reinterpret_cast<HWND>(0x1001), HWND_TOPMOST, 0, 0, 0, 0, 0));
}

} // namespace

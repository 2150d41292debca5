// The framework's helpers that every build shares: the formatters, registered messages, the
// command-line join, the resources.
#include "platform/afxwin.h"
#include "platform/process.h"
#include "platform/ui_resources.h"
#include "res/Resources.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include "win32/Wine.h"
#endif

#include <cstring>
#include <string>
#include <vector>

namespace {

bool UnderWine() {
#ifdef _WIN32
    return RunsUnderWine();
#else
    return false;
#endif
}

TEST(FrameworkHelpers, FormatsNumberInserts) {
    EXPECT_EQ("Attempt 2 of 10", AfxFormatMessage("Attempt %1!d! of %2!d!", 2, 10));
    EXPECT_EQ("Delaying  :  4", AfxFormatMessage("Delaying  :  %1!d!", 4));
    EXPECT_EQ("Attempt 1 of 0", AfxFormatMessage("Attempt %1!d! of %2!d!", 1, 0));
    EXPECT_EQ("100% -1", AfxFormatMessage("100%% %1!d!", -1));
    // 32-bit as on Windows, whatever the width of long here.
    EXPECT_EQ("Attempt 1 of -1",
              AfxFormatMessage("Attempt %1!d! of %2!d!", 1, static_cast<long>(4294967295LL)));
    EXPECT_EQ("-2147483648 4294967295",
              AfxFormatMessage("%1!ld! %2!u!", static_cast<long>(2147483648LL), -1));
    EXPECT_EQ("ff    7|", AfxFormatMessage("%1!x! %2!4d!|", 255, 7));
    EXPECT_EQ("3 of 4", AfxFormatMessage("%1 of %2", 3, 4));
}

TEST(FrameworkHelpers, WsprintfFormatsAsWindowsDoes) {
    struct Row {
        const char* expected;
        int written;
    };
    char out[2048];
    const auto check = [&](const Row& row) {
        EXPECT_EQ(row.expected, std::string(out));
        EXPECT_EQ(row.written, static_cast<int>(std::strlen(out)));
    };
    check({"(-1)", wsprintfA(out, "(%ld)", 4294967295u)});
    check({"-2147483648 2147483647", wsprintfA(out, "%d %i", 2147483648u, 2147483647)});
    check({"4294967295 ffffffff FF", wsprintfA(out, "%lu %x %X", -1, -1, 255)});
    check({"[  42][7   ][007]", wsprintfA(out, "[%4d][%-4u][%03d]", 42, 7, 7)});
    check({"100% x=ok c=A", wsprintfA(out, "100%% x=%s c=%c", "ok", 'A')});
    const std::string longText(1500, 'a');
    const int longWritten = wsprintfA(out, "%s", longText.c_str());
    EXPECT_EQ(std::string(1023, 'a'), std::string(out));
    // The 1023 characters stored are the count; Wine's user32 answers 1024 for them.
    EXPECT_EQ(UnderWine() ? 1024 : 1023, longWritten);
}

TEST(FrameworkHelpers, RegisteredMessagesAreStablePerName) {
    UINT a = RegisterWindowMessageA("RasDialEvent");
    EXPECT_GE(a, 0xC000u);
    EXPECT_EQ(a, RegisterWindowMessageA("rasdialevent"));
    EXPECT_NE(a, RegisterWindowMessageA("OtherEvent"));
    EXPECT_EQ(0u, RegisterWindowMessageA(""));
}

TEST(FrameworkHelpers, JoinedCommandLineSplitsBackIntoTheSameArguments) {
    const std::vector<std::vector<std::string>> cases = {
        {"prog"},
        {"C:\\Program Files\\x.exe", "a b", ""},
        {"p", "say \"hi\"", "back\\slash", "trail\\", "trail two\\\\"},
        {"p", "\\\"", "\t", "a\\\\\"b"},
    };
    for (const auto& args : cases) {
        std::vector<const char*> argv;
        for (const auto& a : args)
            argv.push_back(a.c_str());
        std::string line;
        ASSERT_TRUE(AfxJoinCommandLine(static_cast<int>(argv.size()), argv.data(), &line));
        std::vector<std::string> back = platform::SplitCommandLine(line);
        // The program path's backslashes are directory separators to the runner; compare the
        // arguments after it.
        ASSERT_EQ(args.size(), back.size()) << line;
        for (size_t i = 1; i < args.size(); ++i)
            EXPECT_EQ(args[i], back[i]) << line;
    }
}

TEST(FrameworkHelpers, LauncherIconIsA32By32ImageWithTransparentCorners) {
    const auto& resources = LauncherResources();
    platform::ui::SetResources(&resources);
    const platform::ui::IconImage* icon = platform::ui::FindIcon(IDR_MAINFRAME);
    ASSERT_NE(nullptr, icon);
    EXPECT_EQ(32, icon->width);
    EXPECT_EQ(32, icon->height);
    EXPECT_EQ(0u, icon->pixels[0] >> 24);
    EXPECT_EQ(0xFFu, icon->pixels[16 * 32 + 16] >> 24);
    EXPECT_EQ("Ostrel Sky.Vane", AfxLoadString(AFX_IDS_APP_TITLE));
    platform::ui::SetResources(nullptr);
}

TEST(FrameworkHelpers, XpmReaderRefusesBrokenImages) {
    static const char* const bad_header[] = {"2 2"};
    static const char* const bad_colour[] = {"1 1 1 1", "a c red", "a"};
    static const char* const short_row[] = {"2 1 1 1", "a c #000000", "a"};
    platform::ui::IconImage icon;
    EXPECT_FALSE(platform::ui::IconFromXpm(1, bad_header, &icon));
    EXPECT_FALSE(platform::ui::IconFromXpm(1, bad_colour, &icon));
    EXPECT_FALSE(platform::ui::IconFromXpm(1, short_row, &icon));
}

} // namespace
